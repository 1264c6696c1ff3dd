// The per-file chain (read, unwrap the container, parse, write one report) and the run over
// one file, the names on standard input, or a directory walk.
#pragma once

#include <iosfwd>
#include <string>

struct runtrail_user_context;

// Largest part of an input file that is read.
constexpr unsigned k_prefetch_read_cap = 0x1000000;  // 16 MiB

bool process_inputs(runtrail_user_context& ctx, std::ostream& out);
bool output_prefetch_entry(std::ostream& out, runtrail_user_context& ctx);
bool read_prefetch_file(runtrail_user_context& ctx);

// The file name shown for a path: the text after its last '\' (or, without any, its last '/'),
// "." for "..", and the whole path when there is no separator or it stands first.
std::string file_name_of(const std::string& path);
