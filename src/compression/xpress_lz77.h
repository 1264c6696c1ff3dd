// The plain LZ77 Xpress format inside a hibernation-style block: signature 0x81 0x81 "xpress",
// a 32-byte header, then groups of a 32-bit flag word and up to 32 literals or match words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "byte_reader.h"

namespace runtrail {

constexpr size_t k_xpress_block_header_bytes = 32;
constexpr size_t k_xpress_block_output_bytes = 65536;  // the only block size accepted as a container

// Decodes the block (header included) into output[0, declared), which the caller has zeroed.
// Returns the number of compressed bytes consumed after the header, 0 when nothing decodes.
size_t decode_xpress_block(byte_span block, uint8_t* output, size_t declared);

}  // namespace runtrail
