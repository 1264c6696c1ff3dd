// The plain LZ77 Xpress format inside a hibernation-style block (signature 0x81 0x81 "xpress",
// a 32-byte header, then groups of a 32-bit flag word and up to 32 literals or match words).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t k_xpress_block_header_bytes = 32;
constexpr size_t k_xpress_block_page_bytes = 4096;
constexpr size_t k_xpress_block_output_bytes = 65536;  // the only block size accepted as a container

// Decodes the block in input[0..length) into output, whose capacity (in bytes) is passed in
// `capacity`; the whole capacity is zeroed first, and on return `capacity` holds the block's
// declared size. Returns the number of compressed bytes consumed after the header, 0 on failure
// (not a block, declared size above the capacity, or nothing decodable).
size_t decode_xpress_block(uint8_t* output, uint32_t& capacity, const uint8_t* input, size_t length);
