// The file header: signature, version, executable name, hash, and where the sections start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "byte_reader.h"

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

}  // namespace runtrail
