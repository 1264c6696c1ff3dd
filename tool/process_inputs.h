// The per-file chain (read, unwrap the container, parse, write one report) and the run over
// one file, the names on standard input, or a directory walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct runtrail_user_context;

// Largest part of an input file that is read.
constexpr unsigned k_prefetch_read_cap = 0x1000000;  // 16 MiB

// Byte buffers of the per-file chain, kept for a whole run so that a walk over many files
// reuses their memory instead of allocating and zeroing it for every file. They grow to the
// largest file (at most k_prefetch_read_cap) and the largest decompressed image.
struct file_chain_buffers {
    std::vector<uint8_t> file;   // the file's bytes: file[0, file_length)
    size_t file_length = 0;
    std::vector<uint8_t> image;  // a decompressed container
};

bool process_inputs(runtrail_user_context& ctx, std::ostream& out);
bool output_prefetch_entry(std::ostream& out, runtrail_user_context& ctx);
bool output_prefetch_entry(std::ostream& out, runtrail_user_context& ctx, file_chain_buffers& buffers);
bool read_prefetch_file(runtrail_user_context& ctx);
bool read_prefetch_file(runtrail_user_context& ctx, file_chain_buffers& buffers);

// The file name shown for a path: the text after its last '\' (or, without any, its last '/'),
// "." for "..", and the whole path when there is no separator or it stands first.
std::string file_name_of(const std::string& path);
