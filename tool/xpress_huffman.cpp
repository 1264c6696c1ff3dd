// LZ77+Huffman chunk decoder.
//
// The format's reader keeps a 32-bit bit buffer and reads the next 16-bit word at its input
// position p whenever fewer than 16 bits are left; the extension bytes of a long match are read
// at p too, so words and extension bytes interleave in the input exactly in the order of that
// refill schedule. After T bits have been taken the reader has read W(T) = max(2, ceil(T/16)+1)
// words, and p = 256 + 2 * W(T) + (extension bytes read so far).
//
// This decoder reads ahead instead: a 64-bit buffer is topped up from the next words in the
// input, which are exactly the words the format's reader will take as long as no extension bytes
// come between them. When a match does carry extension bytes, the buffer is cut back to the bits
// of the W(T) words the format's reader holds at that moment, the extension is read at its p,
// and reading resumes after it. Word k therefore always comes from the same place as in the
// format's reader; words past the end of the input read as zero.
//
// The main loop runs while at least k_fast_input_margin bytes remain at the read-ahead position,
// which covers an 8-byte top-up and the 3 extension bytes one symbol can read; there no read
// needs a further check. The last bytes of the input are decoded one checked step at a time.
#include "xpress_huffman.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "byte_view.h"
#include "xpress_adt.h"

namespace {

constexpr unsigned k_code_length_mask = 0x0F;
constexpr unsigned k_match_symbol_base = 256;
constexpr unsigned k_match_length_code_mask = 0x0F;
constexpr unsigned k_match_offset_bits_shift = 4;
constexpr unsigned k_length_escape_code = 15;     // length code 15: an extension byte follows
constexpr unsigned k_length_escape_byte = 255;    // extension byte 255: a 16-bit length follows
constexpr unsigned k_min_escaped_length = 15;     // a 16-bit length below this is invalid
constexpr unsigned k_min_match_length = 3;
constexpr uint32_t k_match_length_modulus = 0x10000;  // the length is a 16-bit quantity
constexpr unsigned k_word_bits = 16;
constexpr size_t k_word_bytes = 2;
constexpr unsigned k_buffer_bits = 64;
constexpr unsigned k_index_shift = k_buffer_bits - k_huffman_max_code_length;
// A checked top-up leaves 48 to 63 bits: enough for a code, its offset bits and the next code
// (45), and never a full buffer, so the unchecked top-up can always shift by the bit count.
constexpr unsigned k_checked_refill_bits = 48;
constexpr size_t k_fast_input_margin = 16;
// Match copies in the main loop move 16 bytes at a time and may write up to this many bytes past
// the match end (always inside the output; cleared again when the chunk ends).
constexpr size_t k_copy_slop = 16;

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

// Valid bits sit at the top of `buf`; the bits below `avail` are either zero or the correct
// continuation of the stream.
struct bit_reader {
    uint64_t buf = 0;
    unsigned avail = 0;
    size_t words = 0;       // 16-bit words loaded into the buffer so far
    size_t extension = 0;   // extension bytes read so far
    size_t next_word() const { return k_huffman_table_bytes + k_word_bytes * words + extension; }
    uint64_t taken() const { return uint64_t{k_word_bits} * words - avail; }
    // The format reader's position p after taking taken() bits.
    size_t format_position() const {
        const uint64_t t = taken();
        const size_t w = std::max<size_t>(2, static_cast<size_t>((t + k_word_bits - 1) / k_word_bits) + 1);
        return k_huffman_table_bytes + k_word_bytes * w + extension;
    }
    void take(unsigned n) {
        buf <<= n;
        avail -= n;
    }
};

// Top-up with an unchecked 8-byte read (requires next_word() + 8 <= available); leaves 49 to 64
// bits. `avail` is below 64 here: every symbol takes at least one bit since the last unchecked
// top-up, and a checked top-up stops below 64.
inline void refill_fast(bit_reader& r, const uint8_t* in) {
    r.buf |= load_words4(in + r.next_word()) >> r.avail;
    const unsigned added = (k_buffer_bits - r.avail) / k_word_bits;
    r.words += added;
    r.avail += added * k_word_bits;
}

// Top-up one word at a time; a word with fewer than two bytes left in the input reads as zero.
inline void refill_checked(bit_reader& r, const uint8_t* in, size_t available) {
    r.buf &= r.avail == 0 ? 0 : ~uint64_t{0} << (k_buffer_bits - r.avail);
    while (r.avail < k_checked_refill_bits) {
        const size_t at = r.next_word();
        const uint64_t word = at < available && available - at >= k_word_bytes ? load_le16(in + at) : 0;
        r.buf |= word << (k_buffer_bits - k_word_bits - r.avail);
        r.avail += k_word_bits;
        ++r.words;
    }
}

inline void copy8(uint8_t* dst, const uint8_t* src) {
    uint64_t v;
    std::memcpy(&v, src, sizeof v);
    std::memcpy(dst, &v, sizeof v);
}

// Copies a match of n bytes at distance `offset` to out[pos..pos+n); `wild` allows 8-byte moves
// that may write up to k_copy_slop bytes past the end. Moves of 8 bytes are exact for any
// offset of 8 or more, since each reads only bytes that are already final.
inline void copy_match(uint8_t* out, size_t pos, size_t offset, size_t n, bool wild) {
    uint8_t* dst = out + pos;
    const uint8_t* src = dst - offset;
    uint8_t* const end = dst + n;
    if (wild && offset >= 8) {
        // Most matches are short: the first 16 bytes without a loop test.
        copy8(dst, src);
        copy8(dst + 8, src + 8);
        dst += 16;
        src += 16;
        while (dst < end) {
            copy8(dst, src);
            dst += 8;
            src += 8;
        }
    } else if (offset == 1) {
        std::memset(dst, *src, n);
    } else {
        while (dst < end) *dst++ = *src++;  // overlapping copies repeat the pattern
    }
}

enum class step_result { next, chunk_end, fail };

struct chunk_state {
    bit_reader r;
    uint8_t* out;
    size_t pos;          // output position
    size_t out_size;     // declared size
    size_t chunk_limit;  // output position at which this chunk has produced 64 KiB
};

// Length code 15: reads the extension at the format reader's position. Returns false for an
// extension past the end of the input or a 16-bit length below 15.
template <bool checked>
inline bool read_length_escape(bit_reader& r, const uint8_t* in, size_t available, uint32_t& length) {
    // Back to the format reader's state: it holds the bits of its first W(T) words only, and the
    // extension sits at its p; the words after that follow the extension.
    size_t p = r.format_position();
    const size_t held_words = (p - k_huffman_table_bytes - r.extension) / k_word_bytes;
    const unsigned held = static_cast<unsigned>(uint64_t{k_word_bits} * held_words - r.taken());
    r.buf &= ~uint64_t{0} << (k_buffer_bits - held);
    r.avail = held;
    r.words = held_words;
    if (checked && p >= available) return false;
    const unsigned b = in[p++];
    if (b < k_length_escape_byte) {
        length = b + k_length_escape_code;
    } else {
        if (checked && available - p < k_word_bytes) return false;
        length = load_le16(in + p);
        p += k_word_bytes;
        if (length < k_min_escaped_length) return false;
    }
    r.extension = p - k_huffman_table_bytes - k_word_bytes * r.words;
    return true;
}

// One symbol from a topped-up buffer, every read checked (the last bytes of the input).
inline step_result step_checked(chunk_state& s, const uint16_t* table, const uint8_t* in, size_t available) {
    bit_reader& r = s.r;
    const uint16_t entry = table[r.buf >> k_index_shift];
    const unsigned sym = entry & k_table_symbol_mask;
    r.take(entry >> k_table_length_shift);
    if (sym < k_match_symbol_base) {
        s.out[s.pos++] = static_cast<uint8_t>(sym);
        return step_result::next;
    }
    const unsigned code = sym - k_match_symbol_base;
    uint32_t length = code & k_match_length_code_mask;
    if (length == k_length_escape_code && !read_length_escape<true>(r, in, available, length))
        return step_result::fail;
    const unsigned nbits = code >> k_match_offset_bits_shift;
    const size_t offset = static_cast<size_t>((r.buf >> (k_buffer_bits - 1 - nbits)) >> 1) + (size_t{1} << nbits);
    r.take(nbits);
    const size_t match_length = (length + k_min_match_length) % k_match_length_modulus;

    const size_t room_in_chunk = s.chunk_limit - s.pos;
    const size_t n = std::min(match_length, s.out_size - s.pos);
    if (n != 0) {
        if (s.pos < offset) return step_result::fail;  // would reach before the output start
        copy_match(s.out, s.pos, offset, n, false);
        s.pos += n;
    }
    return match_length > room_in_chunk ? step_result::chunk_end : step_result::next;
}

// The main loop, while at least k_fast_input_margin bytes remain at the read-ahead position.
// A top-up leaves at least 48 bits: up to 15 for the code, up to 15 offset bits, and still the
// 15 bits of the next code. So the next symbol's table entry is looked up before the buffer is
// topped up again and before the current symbol's bytes are written: neither the top-up nor
// the literal-or-match branch delays it. Leaves the buffer consistent for the checked loop.
inline step_result run_fast(chunk_state& s, const uint16_t* table, const uint8_t* in, size_t available,
                            size_t out_limit) {
    bit_reader& r = s.r;
    if (available - std::min(available, r.next_word()) < k_fast_input_margin || s.pos >= out_limit)
        return step_result::next;
    refill_fast(r, in);
    uint16_t entry = table[r.buf >> k_index_shift];
    for (;;) {
        const unsigned sym = entry & k_table_symbol_mask;
        r.take(entry >> k_table_length_shift);
        const unsigned is_match = sym >> 8;  // symbols 256..511
        uint32_t length = sym & k_match_length_code_mask;
        if ((sym & (k_match_symbol_base | k_match_length_code_mask)) == (k_match_symbol_base | k_length_escape_code)) {
            if (!read_length_escape<false>(r, in, available, length)) return step_result::fail;
            refill_checked(r, in, available);  // the buffer was cut back to the format reader's
        }
        const unsigned nbits = (sym >> k_match_offset_bits_shift) & k_match_length_code_mask & (0u - is_match);
        const size_t offset = static_cast<size_t>((r.buf >> (k_buffer_bits - 1 - nbits)) >> 1) + (size_t{1} << nbits);
        r.take(nbits);

        entry = table[r.buf >> k_index_shift];
        const bool more_input = available - r.next_word() >= k_fast_input_margin;
        if (more_input) refill_fast(r, in);

        if (!is_match) {
            s.out[s.pos++] = static_cast<uint8_t>(sym);
        } else {
            const size_t match_length = (length + k_min_match_length) % k_match_length_modulus;
            const size_t room_in_chunk = s.chunk_limit - s.pos;
            const size_t n = std::min(match_length, s.out_size - s.pos);
            if (n != 0) {
                if (s.pos < offset) return step_result::fail;  // would reach before the output start
                copy_match(s.out, s.pos, offset, n, s.out_size - s.pos >= n + k_copy_slop);
                s.pos += n;
            }
            if (match_length > room_in_chunk) return step_result::chunk_end;
        }
        if (!more_input || s.pos >= out_limit) return step_result::next;
    }
}

}  // namespace

bool build_table(xpress_adt& decoder, const uint8_t* chunk, size_t available) {
    if (chunk == nullptr || available < k_huffman_table_bytes) return false;

    decoder.m_code_lengths.assign(k_huffman_symbols, 0);
    std::array<uint16_t, k_huffman_max_code_length + 1> count{};
    for (size_t i = 0; i < k_huffman_table_bytes; ++i) {
        const uint16_t lo = chunk[i] & k_code_length_mask;
        const uint16_t hi = chunk[i] >> 4;
        decoder.m_code_lengths[2 * i] = lo;
        decoder.m_code_lengths[2 * i + 1] = hi;
        ++count[lo];
        ++count[hi];
    }

    // Counting sort by (length, symbol): codes are handed out shortest first, and within one
    // length in symbol order, each taking 2^(15 - length) consecutive table entries.
    std::array<uint16_t, k_huffman_max_code_length + 2> start{};
    for (unsigned len = 1; len <= k_huffman_max_code_length; ++len) start[len + 1] = start[len] + count[len];
    std::array<uint16_t, k_huffman_symbols> order;
    for (unsigned sym = 0; sym < k_huffman_symbols; ++sym) {
        const unsigned len = decoder.m_code_lengths[sym];
        if (len != 0) order[start[len]++] = static_cast<uint16_t>(sym);
    }

    decoder.m_table_size = static_cast<uint32_t>(k_huffman_decode_table_size);
    decoder.m_decode_table.resize(k_huffman_decode_table_size);
    uint16_t* table = decoder.m_decode_table.data();
    size_t next = 0;
    size_t k = 0;
    for (unsigned len = 1; len <= k_huffman_max_code_length && next < k_huffman_decode_table_size; ++len) {
        const size_t span = size_t{1} << (k_huffman_max_code_length - len);
        const uint16_t tag = static_cast<uint16_t>(len << k_table_length_shift);
        for (size_t c = 0; c < count[len]; ++c, ++k) {
            if (next >= k_huffman_decode_table_size) break;  // over-full code: cut off here
            const size_t fill = std::min(span, k_huffman_decode_table_size - next);
            std::fill_n(table + next, fill, static_cast<uint16_t>(tag | order[k]));
            next += fill;
        }
    }
    // An incomplete code would leave entries of an earlier chunk (or zeros) in the table.
    if (next != k_huffman_decode_table_size) return false;
    decoder.m_ready = 1;
    return true;
}

bool decode_chunk(xpress_adt& decoder, const uint8_t* chunk, size_t available, size_t& used) {
    used = 0;
    if (!build_table(decoder, chunk, available)) return false;
    if (decoder.m_output_pos >= decoder.m_output.size()) {
        used = k_huffman_stream_start;  // nothing left to produce
        return true;
    }

    chunk_state s;
    s.out = decoder.m_output.data();
    s.pos = decoder.m_output_pos;
    s.out_size = decoder.m_output.size();
    s.chunk_limit = s.pos + k_mam_chunk_size;
    const size_t out_limit = std::min(s.chunk_limit, s.out_size);
    const uint16_t* table = decoder.m_decode_table.data();

    step_result res = run_fast(s, table, chunk, available, out_limit);
    while (res == step_result::next && s.pos < out_limit && s.r.format_position() < available) {
        refill_checked(s.r, chunk, available);
        res = step_checked(s, table, chunk, available);
    }

    // Clear what 16-byte match moves wrote past the final position: bytes never decoded stay 0.
    std::fill(s.out + s.pos, s.out + std::min(s.pos + k_copy_slop, s.out_size), uint8_t{0});
    decoder.m_output_pos = static_cast<uint32_t>(s.pos);
    if (res == step_result::fail) return false;
    used = s.r.format_position();
    return true;
}
