// The tool's side of the command line: usage text, the header block at the top of the output,
// and the option step that runs the generic parser and then handles runtrail's own options.
#pragma once

#include <string>
#include <vector>

struct runtrail_user_context;

constexpr const char* k_runtrail_version = "1.40";

// The usage text with `program` in place of %s.
std::string usage_text(const std::string& program);

// True when a help option is present or the list holds only the program name.
bool help_requested(const std::vector<std::string>& args);

// Identification lines and the command echo line of the original arguments (no final line end).
std::string header_block(const std::vector<std::string>& args);

// Resets the context, runs the generic option parser and applies -pf_path, -longform and
// -append. False when the generic parser failed (it has written its message).
bool parse_tool_options(runtrail_user_context& ctx, std::vector<std::string>& args, const std::string& version_text);
