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
constexpr size_t k_huffman_code_space = size_t{1} << k_huffman_max_code_length;
constexpr size_t k_huffman_first_words_bytes = 4;   // two 16-bit words preload the bit buffer
constexpr size_t k_huffman_stream_start = k_huffman_table_bytes + k_huffman_first_words_bytes;

// The decode table has two levels. The first is indexed by the next k_first_level_bits of the
// stream and decodes every code that short at once; a longer code's prefix leads to a second-level
// table of 2^k_second_level_bits entries indexed by the bits that follow. The first level is
// small enough to stay in the processor's first-level cache and to rebuild cheaply per chunk.
constexpr unsigned k_first_level_bits = 11;
constexpr unsigned k_second_level_bits = k_huffman_max_code_length - k_first_level_bits;
constexpr size_t k_first_level_entries = size_t{1} << k_first_level_bits;
constexpr size_t k_second_level_entries = size_t{1} << k_second_level_bits;
// Every long code's first-level prefix gets its own second-level table: at most one per symbol.
constexpr size_t k_max_second_level_tables = k_huffman_symbols;

// Decode-table entries pack the symbol and the bits it takes so that one lookup yields both: in
// the low 6 bits its code length plus, for a match, its offset bits (at most 30), from bit 6 the
// symbol; the bits, which the next lookup waits for, are one AND away. A first-level entry whose
// bits field is 0 leads to the second level: its symbol field holds the number of the
// second-level table.
constexpr unsigned k_table_bits_width = 6;
constexpr unsigned k_table_bits_mask = (1u << k_table_bits_width) - 1;
constexpr unsigned k_table_symbol_shift = k_table_bits_width;
static_assert(k_huffman_symbols << k_table_symbol_shift <= 0x10000, "an entry fits in 16 bits");
static_assert(k_max_second_level_tables <= k_huffman_symbols, "a table number fits in the symbol field");

}  // namespace runtrail
