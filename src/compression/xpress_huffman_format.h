// Layout of the LZ77+Huffman ("Xpress Huffman") stream that Windows 10 and 11 prefetch files are
// compressed with: chunks of 64 KiB of output, each starting with a table of 512 four-bit code
// lengths (256 literal symbols, 256 match symbols), then a bit stream of 16-bit little-endian
// words read from the most significant bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runtrail {

constexpr size_t k_mam_chunk_size = 65536;          // output of one chunk (one Huffman table)
constexpr size_t k_huffman_table_bytes = 256;       // 512 four-bit code lengths
constexpr size_t k_huffman_symbols = 512;           // 256 literals + 256 match symbols
constexpr unsigned k_huffman_max_code_length = 15;  // also the width of the decode-table index
constexpr size_t k_huffman_decode_table_size = size_t{1} << k_huffman_max_code_length;
constexpr size_t k_huffman_first_words_bytes = 4;   // two 16-bit words preload the bit buffer
constexpr size_t k_huffman_stream_start = k_huffman_table_bytes + k_huffman_first_words_bytes;

// Decode-table entries pack the symbol and the bits it takes so that one lookup yields both:
// the symbol in the low 9 bits, from bit 11 its code length plus, for a match, its offset bits.
constexpr unsigned k_table_symbol_bits = 9;
constexpr uint16_t k_table_symbol_mask = (1u << k_table_symbol_bits) - 1;
constexpr unsigned k_table_length_shift = 11;

}  // namespace runtrail
