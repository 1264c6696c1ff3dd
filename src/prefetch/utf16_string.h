// UTF-16LE strings inside a prefetch image, read into lists whose memory is reused from file to file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "byte_reader.h"

namespace runtrail {

// A UTF-16LE string at `offset`: at most `max_units` units and never past the image, ended by the
// first zero unit. It is converted to UTF-8 into `text` (overwritten).
struct utf16_run {
    uint64_t units = 0;       // units before the terminator
    bool terminated = false;  // a zero unit ended the run (it lies at offset + 2 * units)
};
utf16_run read_utf16_string(byte_span image, uint64_t offset, uint64_t max_units, std::string& text);

// The next string of a list that is filled again from file to file: the strings it already holds
// keep their memory. `used` counts the strings filled so far; the caller trims the list to it.
inline std::string& next_string(std::vector<std::string>& list, size_t used) {
    if (used == list.size()) list.emplace_back();
    return list[used];
}

}  // namespace runtrail
