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

// The lists of names a record holds are filled again from file to file, so that their strings keep
// their memory. Trimming a list to a shorter file's count would free the strings past the end,
// only for the next longer file to allocate them again: they are set aside instead (per thread, a
// bounded number of short ones) and handed out again first.

// The next string of such a list; `used` counts the strings filled so far.
std::string& next_string(std::vector<std::string>& list, size_t used);

// Ends the list after its first `used` strings.
void trim_strings(std::vector<std::string>& list, size_t used);

}  // namespace runtrail
