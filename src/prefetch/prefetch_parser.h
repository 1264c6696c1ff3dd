// A prefetch image ("SCCA", format versions 17, 23, 26, 30 and 31) to one record.
#pragma once

#include <optional>

#include "byte_reader.h"
#include "prefetch_record.h"

namespace runtrail {

// The record of a complete, decompressed image. Nothing when the image is rejected: shorter than
// 228 bytes, without "SCCA" at offset 4, or with its filename strings or volume section starting
// past its end. A file information block that cannot be read is not a rejection: the run count
// and last run time are then 0.
std::optional<prefetch_record> parse_prefetch_image(byte_span image);

}  // namespace runtrail
