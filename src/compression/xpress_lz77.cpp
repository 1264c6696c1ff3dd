// Plain LZ77 Xpress decoder for the hibernation-style block.
//
// Match word: low 3 bits length code, upper 13 bits offset - 1. Length code 7 escapes to a
// half-byte (two consecutive escapes share one byte, low nibble first), half-byte 15 to a byte,
// byte 255 to a 16-bit length. A match never crosses a 64 KiB boundary of the output.
#include "xpress_lz77.h"

#include <algorithm>
#include <cstring>


namespace runtrail {
namespace {

constexpr size_t k_compressed_size_offset = 9;
constexpr unsigned k_compressed_size_shift = 2;  // bits 0..1 of the size field are not part of it
constexpr uint64_t k_compressed_size_granule = 8;
constexpr unsigned k_flag_bits = 32;
constexpr unsigned k_match_length_bits = 3;
constexpr unsigned k_match_length_mask = 7;
constexpr unsigned k_nibble_escape = 15;
constexpr unsigned k_byte_escape = 255;
constexpr int64_t k_word_length_bias = 22;  // 16-bit lengths are stored as the match length - 3
constexpr size_t k_match_window = 65536;     // a match stops at the next 64 KiB boundary
constexpr unsigned k_min_match_length = 3;

}  // namespace

size_t decode_xpress_block(byte_span block, uint8_t* output, size_t declared) {
    byte_reader header(block);
    // The field holds the compressed size minus one in bits 2..31; sizes are multiples of 8.
    uint64_t size = (uint64_t{header.u32(k_compressed_size_offset)} >> k_compressed_size_shift) +
                    k_compressed_size_granule;
    const byte_span data = header.tail(k_xpress_block_header_bytes);
    if (!header.ok()) return 0;
    size -= size % k_compressed_size_granule;
    if (size == 0 || size > data.size()) size = data.size();  // never past the input
    const size_t c = static_cast<size_t>(size);

    if (c == k_xpress_block_output_bytes || c == declared) {  // stored, not compressed
        std::memcpy(output, data.data(), std::min<size_t>(c, declared));
        return c;
    }

    byte_reader in(data.data(), c);
    size_t q = 0;
    size_t o = 0;
    size_t consumed = 0;
    uint32_t flags = 0;
    unsigned flags_left = 0;
    // Position of the byte whose high half-byte is still unused by a length escape.
    size_t pending_nibble = 0;
    bool nibble_pending = false;
    while (o < declared && q < c) {
        if (flags_left == 0) {
            if (c - q <= 4) break;  // a flag word with no item after it
            flags = in.u32(q);
            q += 4;
            flags_left = k_flag_bits;
        }
        const bool is_match = (flags >> 31) != 0;
        flags <<= 1;
        --flags_left;

        if (!is_match) {
            output[o++] = in.u8(q);
            q += 1;
            consumed = q;
            continue;
        }

        const uint16_t word = in.u16(q);
        if (!in.ok()) break;
        q += 2;
        int64_t len = word & k_match_length_mask;
        const size_t offset = (word >> k_match_length_bits) + size_t{1};
        if (len == k_match_length_mask) {
            if (!nibble_pending) {
                const uint8_t b = in.u8(q);
                if (!in.ok()) break;
                len = b & 0x0F;
                pending_nibble = q;
                nibble_pending = true;
                q += 1;
            } else {
                len = in.u8(pending_nibble) >> 4;
                nibble_pending = false;
            }
            if (len == k_nibble_escape) {
                const uint8_t b = in.u8(q);
                if (!in.ok()) break;
                q += 1;
                if (b != k_byte_escape) {
                    len = b;
                } else {
                    const uint16_t w = in.u16(q);
                    if (!in.ok()) break;
                    q += 2;
                    len = int64_t{w} - k_word_length_bias;
                }
                len += k_nibble_escape;
            }
            len += k_match_length_mask;
        }
        size_t match_length = static_cast<size_t>(len + k_min_match_length);
        match_length = std::min(match_length, k_match_window - o % k_match_window);
        match_length = std::min(match_length, declared - o);
        if (offset > o) break;  // would reach before the start of the output: stop here
        for (size_t i = 0; i < match_length; ++i, ++o) output[o] = output[o - offset];
        consumed = q;
    }
    return consumed;
}

}  // namespace runtrail
