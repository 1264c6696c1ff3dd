// Readers of the sections of a prefetch image. parse_prefetch calls them in order on an image
// that passed validate_header; each one re-checks what it needs and never reads outside `image`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "byte_view.h"

struct runtrail_user_context;

// Run count and last run time of the version's file-information layout. Both outputs are 0
// when the function returns false: bad signature, recorded file size not above 227, or no
// layout for this version (and, for versions 30 and 31, this metrics array offset).
bool read_file_information(qn::byte_view image, uint64_t& last_run_time, uint32_t& run_count);

// The largest of the eight run-time slots (0 when the image is too short to hold them).
uint64_t max_run_time(qn::byte_view image);

// Earlier run times of versions with run-time slots: slots 2..8 that are not 0, and slot 1
// when it is not 0 and is not the largest slot (slots out of order). Nothing for other versions.
void collect_prev_run_times(qn::byte_view image, std::set<uint64_t>& prev_run_times);

// Module list and target path. `exe_name` holds the UTF-16LE bytes of the header's executable
// name (without terminator); `target_path` receives, in UTF-8, the first string that contains it
// (code unit for code unit), or is emptied when none does. False when the header is invalid or
// the block starts past the image.
bool read_filename_strings(std::map<uint64_t, std::string>& modules, qn::byte_view exe_name,
                           std::string& target_path, qn::byte_view image);

// Volume device paths, serials, creation times and directory strings, appended to ctx.
// False when the header is invalid or the section starts past the image.
bool read_volumes(runtrail_user_context& ctx, qn::byte_view image);

// A UTF-16LE string at `offset`: at most `max_units` units and never past the image, ended
// by the first zero unit.
struct utf16_run {
    uint64_t units = 0;       // units before the terminator
    bool terminated = false;  // a zero unit ended the run (it lies at offset + 2 * units)
};
// The run is converted to UTF-8 into `text` (overwritten; its capacity is reused).
utf16_run read_utf16_text(qn::byte_view image, uint64_t offset, uint64_t max_units, std::string& text);
