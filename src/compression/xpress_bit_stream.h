// The bit stream of an LZ77+Huffman chunk, read ahead 64 bits at a time.
//
// The format's own reader keeps a 32-bit buffer: it starts with the two words at offsets 256 and
// 258 and takes the next 16-bit little-endian word at its input position p whenever fewer than
// 16 bits would be left. The extension bytes of a long match are read at p too, so words and
// extension bytes interleave in the input exactly in the order of that refill schedule. Once T
// bits (T >= 1) have been taken, that reader holds 16 + (-T mod 16) bits: between 16 and 31.
//
// `bit_stream` reads further ahead: its 64-bit buffer is topped up to 48..63 bits from the words
// that follow, which are exactly the words the format's reader will take as long as no extension
// bytes come between them. For an extension it is cut back to the bits the format's reader holds
// at that moment, the extension is read at that reader's position, and loading resumes after it.
// Every word thus comes from the same place as in the format's reader; words that lie (partly)
// beyond the end of the input read as zero.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "xpress_huffman_format.h"

namespace runtrail::xpress_bits {

constexpr unsigned k_word_bits = 16;
constexpr size_t k_word_bytes = 2;
constexpr unsigned k_buffer_bits = 64;
// A top-up leaves 48 + (count mod 16) bits: enough for a code (15 bits), its offset bits (15)
// and the next code's 15 bits, and never a full buffer, so the next top-up can always shift.
constexpr unsigned k_refill_floor = 48;
// The format's reader, once a symbol has been taken, holds 16 + (count mod 16) of our bits.
constexpr unsigned k_reader_min_held = k_word_bits;
// refill_fast reads 8 bytes at `next` and moves it on by at most 3 words.
constexpr size_t k_top_up_read_bytes = 8;
constexpr size_t k_max_top_up_bytes = 6;

inline uint16_t load_le16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Four consecutive 16-bit little-endian words as one 64-bit value, first word on top.
inline uint64_t load_words4(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    v = __builtin_bswap64(v);
    return ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
}

struct bit_stream {
    // The next bits of the stream, first bit at the top. Only the top `count` bits are counted;
    // below them the buffer holds zeros or the stream's true continuation.
    uint64_t buf = 0;
    unsigned count = 0;
    size_t next = k_huffman_table_bytes;  // chunk offset of the next word to load

    uint16_t peek_index() const { return static_cast<uint16_t>(buf >> (k_buffer_bits - k_huffman_max_code_length)); }

    void take(unsigned n) {
        buf <<= n;
        count -= n;
    }

    // The top n bits (n up to 15; 0 gives 0), then taken.
    unsigned take_bits(unsigned n) {
        const unsigned v = static_cast<unsigned>((buf >> (k_buffer_bits - 1 - n)) >> 1);
        take(n);
        return v;
    }

    // Top-up without bounds checks: requires next + 8 <= available. count is below 64 here,
    // since every symbol takes at least one bit and a top-up stops below 64.
    void refill_fast(const uint8_t* in) {
        buf |= load_words4(in + next) >> count;
        // Whole words up to 48 + (count mod 16) bits: (count | 48) - count = 48 & ~count bits.
        next += (~count & k_refill_floor) / (k_word_bits / k_word_bytes);
        count |= k_refill_floor;
    }

    // Cheaper top-up for the main loop, valid while at least 16 bits are counted (so that two
    // words reach 48): the two words at `next` as one 32-bit load, first word on top after a
    // rotation by 16; the bits below them stay zero.
    void refill_fast_two_words(const uint8_t* in) {
        uint32_t two;
        std::memcpy(&two, in + next, sizeof two);
        buf |= (uint64_t{std::rotl(two, k_word_bits)} << (k_buffer_bits - 2 * k_word_bits)) >> count;
        next += (~count & k_refill_floor) / (k_word_bits / k_word_bytes);
        count |= k_refill_floor;
    }

    // Top-up one word at a time; a word with fewer than two bytes left in the input reads as zero.
    void refill_checked(const uint8_t* in, size_t available) {
        buf &= count == 0 ? 0 : ~uint64_t{0} << (k_buffer_bits - count);
        while (count < k_refill_floor) {
            const uint64_t word = next < available && available - next >= k_word_bytes ? load_le16(in + next) : 0;
            buf |= word << (k_buffer_bits - k_word_bits - count);
            count += k_word_bits;
            next += k_word_bytes;
        }
    }

    // The format reader's input position p, once at least one bit has been taken. With 16 or
    // more bits counted, the reader holds 16 + (count mod 16) of them and the words beyond lie
    // before `next`. Fewer happens only after a long match's offset bits, taken from the buffer
    // cut back to the reader's: the reader then loads one more word, the one at `next`.
    size_t reader_position() const { return next + k_word_bytes - k_word_bytes * (count / k_word_bits); }

    // Drops the words read ahead of the format's reader and returns its position p, where an
    // extension byte is read; the caller sets `next` past the extension.
    size_t cut_back_to_reader() {
        const size_t p = reader_position();
        const unsigned held = k_reader_min_held + count % k_word_bits;
        buf &= ~uint64_t{0} << (k_buffer_bits - held);
        count = held;
        next = p;
        return p;
    }
};

}  // namespace runtrail::xpress_bits
