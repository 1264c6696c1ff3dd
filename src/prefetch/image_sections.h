// The readers of the sections of a prefetch image, called in turn by parse_prefetch_image on an
// image whose header has been read. None reads outside the image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "prefetch_record.h"

namespace runtrail {

// The header fields the sections are found by.
struct prefetch_header {
    uint32_t version = 0;
    uint32_t recorded_file_size = 0;
    uint32_t prefetch_hash = 0;
    uint32_t metrics_offset = 0;
    uint32_t metrics_count = 0;
    uint32_t filename_strings_offset = 0;
    uint32_t filename_strings_size = 0;
    uint32_t volumes_offset = 0;
    std::string exe_name;     // UTF-8
    byte_span exe_name_units;  // the same as UTF-16LE units, without terminator
};

// Nothing for an image shorter than 228 bytes or without the "SCCA" signature.
std::optional<prefetch_header> read_header(byte_span image);

// Run count and last run time from the version's file information layout (both 0 when the
// recorded file size is not above 227 or there is no layout for this version and metrics offset);
// the earlier run times of versions that keep eight run-time slots.
void read_run_information(byte_span image, const prefetch_header& header, prefetch_record& record);

// The modules, and as the target path the first that holds the executable's name (empty when none
// does); `target_units` receives that path as stored, UTF-16LE units without terminator. False when
// the filename strings start past the end of the image.
bool read_filename_strings(byte_span image, const prefetch_header& header, prefetch_record& record,
                           byte_span& target_units);

// False when the volume section starts past the end of the image.
bool read_volumes(byte_span image, const prefetch_header& header, std::vector<volume_record>& volumes);

// The next string of a list that is filled again from file to file: the strings it already holds
// keep their memory. `used` counts the strings filled so far; the caller trims the list to it.
inline std::string& next_string(std::vector<std::string>& list, size_t used) {
    if (used == list.size()) list.emplace_back();
    return list[used];
}

// A UTF-16LE string at `offset`: at most `max_units` units and never past the image, ended by the
// first zero unit. It is converted to UTF-8 into `text` (overwritten).
struct utf16_run {
    uint64_t units = 0;       // units before the terminator
    bool terminated = false;  // a zero unit ended the run (it lies at offset + 2 * units)
};
utf16_run read_utf16_string(byte_span image, uint64_t offset, uint64_t max_units, std::string& text);

}  // namespace runtrail
