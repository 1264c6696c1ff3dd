// State of one container decompression: the container's kind and declared size, the Huffman
// tables of the chunk being decoded and the image being built. One object per input; it is
// never reused for another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// LZ77+Huffman ("Xpress Huffman") stream layout.
constexpr size_t k_mam_chunk_size = 65536;          // output of one chunk (one Huffman table)
constexpr size_t k_huffman_table_bytes = 256;       // 512 four-bit code lengths
constexpr size_t k_huffman_symbols = 512;           // 256 literals + 256 match symbols
constexpr unsigned k_huffman_max_code_length = 15;  // also the width of the decode-table index
constexpr size_t k_huffman_decode_table_size = size_t{1} << k_huffman_max_code_length;
constexpr size_t k_huffman_first_words_bytes = 4;   // two 16-bit words preload the bit buffer
constexpr size_t k_huffman_stream_start = k_huffman_table_bytes + k_huffman_first_words_bytes;

// Decode-table entries pack the symbol and its code length so one lookup yields both.
constexpr unsigned k_table_symbol_bits = 9;
constexpr uint16_t k_table_symbol_mask = (1u << k_table_symbol_bits) - 1;
// Bits the symbol takes from the stream (bits 11..15): its code length, and for a match also its
// offset bits (at most 15 + 15).
constexpr unsigned k_table_length_shift = 11;

class xpress_adt {
public:
    xpress_adt() = default;
    xpress_adt(const xpress_adt&) = delete;
    xpress_adt& operator=(const xpress_adt&) = delete;
    virtual ~xpress_adt() = default;

    uint32_t m_kind = 0;           // container_kind found by detection
    uint32_t m_declared_size = 0;  // uncompressed size from the container header
    std::vector<uint16_t> m_code_lengths;  // 512 code lengths of the current chunk
    uint32_t m_table_size = static_cast<uint32_t>(k_huffman_decode_table_size);
    // One entry per 15-bit code prefix: symbol in the low 9 bits, the bits it takes from bit 11.
    std::vector<uint16_t> m_decode_table;
    std::vector<uint8_t> m_output;  // the image, sized to the declared size before decoding
    uint32_t m_output_pos = 0;      // next output byte to write
    // Set once a chunk's table came out complete or a hibernation block was accepted.
    uint8_t m_ready = 0;
};
