// The texts runtrail shows about itself: the usage text and the identification lines at the top of
// every report.
#pragma once

#include <string>
#include <vector>

namespace runtrail {

constexpr const char* k_runtrail_version = "1.40";

// The usage text with `program` where the program's name stands.
std::string usage_text(const std::string& program);

// Identification lines and the command echo line of the arguments (no final line end).
std::string header_block(const std::vector<std::string>& args);

}  // namespace runtrail
