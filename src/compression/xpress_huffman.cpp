// LZ77+Huffman chunk decoder.
//
// A chunk is a 256-byte table of 4-bit code lengths for 512 symbols, then a bit stream (see
// xpress_bit_stream.h). Symbols 0..255 are literal bytes; for a symbol 256 + s, the low 4 bits
// of s are the length code and the high 4 bits the number of offset bits that follow the code.
// Length code 15 is an escape: an extension byte (and for 255, a 16-bit length) follows in the
// input at the bit reader's position, before the offset bits are taken.
//
// Most of a chunk is decoded by a main loop that needs no bounds checks: it runs while at least
// k_fast_input_margin bytes remain past the words read ahead and k_fast_output_margin bytes of
// output remain in the chunk. The first symbol and the last bytes of input or output are decoded
// one checked step at a time.
#include "xpress_huffman.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "xpress_bit_stream.h"

namespace runtrail {
namespace {

using xpress_bits::bit_stream;
using xpress_bits::load_le16;

constexpr unsigned k_code_length_mask = 0x0F;
constexpr unsigned k_match_symbol_base = 256;
constexpr unsigned k_first_match_entry = k_match_symbol_base << k_table_symbol_shift;
constexpr unsigned k_match_length_code_mask = 0x0F;
constexpr unsigned k_match_offset_bits_shift = 4;
constexpr unsigned k_match_offset_bits_mask = 0x0F;
constexpr unsigned k_length_escape_code = 15;    // length code 15: an extension byte follows
constexpr unsigned k_length_escape_byte = 255;   // extension byte 255: a 16-bit length follows
constexpr unsigned k_min_escaped_length = 15;    // a 16-bit length below this is invalid
constexpr unsigned k_min_match_length = 3;
constexpr uint32_t k_match_length_modulus = 0x10000;  // the length is a 16-bit quantity
constexpr size_t k_stream_start = k_huffman_stream_start;  // the format reader's p before any symbol

// Match copies move 8 bytes at a time; that is exact for offsets of 8 or more, since each move
// reads only bytes that are already final.
constexpr size_t k_copy_step = 8;
// The main loop copies a match without a length escape (at most 14 + 3 bytes) with three moves.
constexpr size_t k_max_plain_match = k_length_escape_code - 1 + k_min_match_length;
constexpr size_t k_plain_copy_bytes = 3 * k_copy_step;
static_assert(k_plain_copy_bytes >= k_max_plain_match);
// The main loop runs while this much output remains in the chunk (and the image), so a plain
// match neither crosses the 64 KiB mark nor writes past the output.
constexpr size_t k_fast_output_margin = 32;
static_assert(k_fast_output_margin >= k_plain_copy_bytes);
// Bytes past a match's end that copies may overwrite; they are cleared again when the chunk ends.
constexpr size_t k_copy_slop = k_fast_output_margin;
// A round of the main loop starts only this far from the end of the input. Its first top-up
// reads 8 bytes at `next` and moves it on by up to 6, every later one reads 4 and moves it on
// by up to 4, and a round takes no more symbols than 6-byte steps fit before the margin, so every
// read ends at least 6 bytes before the end of the input. A length escape reads up to 3 bytes
// from at least one word before `next`.
constexpr size_t k_fast_input_margin = 16;
static_assert(k_fast_input_margin >= xpress_bits::k_top_up_read_bytes + xpress_bits::k_max_top_up_bytes);

inline void copy8(uint8_t* dst, const uint8_t* src) {
    uint64_t v;
    std::memcpy(&v, src, sizeof v);
    std::memcpy(dst, &v, sizeof v);
}

// Copies n bytes from `offset` bytes back, byte by byte, so overlapping copies repeat the pattern.
inline void copy_exact(uint8_t* dst, size_t offset, size_t n) {
    const uint8_t* src = dst - offset;
    if (offset == 1) {
        std::memset(dst, *src, n);
        return;
    }
    for (size_t i = 0; i < n; ++i) dst[i] = src[i];
}

// Copies a match of n bytes at `offset` to out[pos..pos+n); 8-byte moves (which overwrite up to
// 15 bytes past the end) where the offset and the room left in the output allow them.
inline void copy_match(uint8_t* out, size_t pos, size_t offset, size_t n, size_t out_size) {
    uint8_t* dst = out + pos;
    if (offset < k_copy_step || out_size - pos - n < 2 * k_copy_step) {
        copy_exact(dst, offset, n);
        return;
    }
    const uint8_t* src = dst - offset;
    uint8_t* const end = dst + n;
    do {
        copy8(dst, src);
        copy8(dst + k_copy_step, src + k_copy_step);
        dst += 2 * k_copy_step;
        src += 2 * k_copy_step;
    } while (dst < end);
}

// A match symbol's fixed parts, for the main loop: it copies `length` bytes from offset
// offset_base + (its offset bits & offset_mask). Looking them up is cheaper than working them out.
struct match_code {
    uint32_t offset_mask;
    uint32_t offset_base;
    uint32_t length;
    uint32_t padding;  // 16-byte entries: the index is scaled by a shift
};
struct match_code_table {
    std::array<match_code, k_huffman_symbols - k_match_symbol_base> code;
    constexpr match_code_table() : code{} {
        for (unsigned s = 0; s < code.size(); ++s) {
            const unsigned nbits = (s >> k_match_offset_bits_shift) & k_match_offset_bits_mask;
            code[s] = {(1u << nbits) - 1, 1u << nbits, (s & k_match_length_code_mask) + k_min_match_length, 0};
        }
    }
};
constexpr match_code_table k_match_codes;

// The entry for the code at the top of `index` (the next 15 bits of the stream).
inline unsigned lookup(const xpress_decode_table& t, unsigned index) {
    unsigned entry = t.first[index >> k_second_level_bits];
    if ((entry & k_table_bits_mask) == 0) [[unlikely]]
        entry = t.second[(entry >> k_table_symbol_shift) << k_second_level_bits |
                         (index & (k_second_level_entries - 1))];
    return entry;
}

enum class step_result { next, chunk_end, fail };

struct chunk_state {
    bit_stream bits;
    uint8_t* out;        // the image; positions count from its start
    size_t pos;          // output position
    size_t out_size;     // declared size
    size_t chunk_limit;  // output position at which this chunk has produced 64 KiB
};

// Length code 15: the extension at the format reader's position. False for an extension past
// the end of the input or a 16-bit length below 15.
template <bool checked>
inline bool read_length_escape(bit_stream& b, const uint8_t* in, size_t available, uint32_t& length) {
    size_t p = b.cut_back_to_reader();
    if (checked && p >= available) return false;
    const unsigned e = in[p++];
    if (e < k_length_escape_byte) {
        length = e + k_length_escape_code;
    } else {
        if (checked && available - p < xpress_bits::k_word_bytes) return false;
        length = load_le16(in + p);
        p += xpress_bits::k_word_bytes;
        if (length < k_min_escaped_length) return false;
    }
    b.next = p;
    return true;
}

// A match symbol whose code is still on top of the bit buffer (`bits` = code length plus offset
// bits, from the decode table). `checked` guards the reads of a length escape.
template <bool checked>
inline step_result decode_match(chunk_state& c, unsigned sym, unsigned bits, const uint8_t* in, size_t available) {
    bit_stream& b = c.bits;
    const unsigned nbits = (sym >> k_match_offset_bits_shift) & k_match_offset_bits_mask;
    b.take(bits - nbits);
    uint32_t length = sym & k_match_length_code_mask;
    if (length == k_length_escape_code && !read_length_escape<checked>(b, in, available, length))
        return step_result::fail;
    const size_t offset = b.take_bits(nbits) + (size_t{1} << nbits);
    const size_t match_length = (length + k_min_match_length) % k_match_length_modulus;

    const size_t room_in_chunk = c.chunk_limit - c.pos;
    const size_t n = std::min(match_length, c.out_size - c.pos);
    if (n != 0) {
        if (c.pos < offset) return step_result::fail;  // would reach before the output start
        copy_match(c.out, c.pos, offset, n, c.out_size);
        c.pos += n;
    }
    // A match may run past the chunk's 64 KiB; the chunk ends with it.
    return match_length > room_in_chunk ? step_result::chunk_end : step_result::next;
}

// One symbol with every read checked (the first symbol, and the last bytes of input or output).
inline step_result step_checked(chunk_state& c, const xpress_decode_table& table, const uint8_t* in,
                                size_t available) {
    c.bits.refill_checked(in, available);
    const unsigned entry = lookup(table, c.bits.peek_index());
    const unsigned sym = entry >> k_table_symbol_shift;
    const unsigned bits = entry & k_table_bits_mask;
    if (sym >= k_match_symbol_base) return decode_match<true>(c, sym, bits, in, available);
    c.bits.take(bits);
    c.out[c.pos++] = static_cast<uint8_t>(sym);
    return step_result::next;
}

// A match with a length escape in the main loop; kept out of line, as it is rare.
[[gnu::noinline]] step_result decode_long_match(chunk_state& c, unsigned sym, unsigned bits, const uint8_t* in,
                                                size_t available) {
    return decode_match<false>(c, sym, bits, in, available);
}

// The main loop. A top-up leaves at least 48 bits, and a symbol without a length escape takes
// at most 30 (code and offset bits, both given by its table entry at once), so the next
// symbol's entry is looked up before this symbol's bytes are written and before the next top-up.
// The loop runs in rounds of as many symbols as surely fit in the room left, so that one counter
// replaces the input and output checks: such a symbol advances the output by at most 17 bytes
// (writing at most k_plain_copy_bytes) and a top-up the input by at most 6. A long match ends
// the round.
step_result run_fast(chunk_state& c, const xpress_decode_table& table, const uint8_t* in, size_t available,
                     size_t out_limit) {
    if (available < k_fast_input_margin || out_limit < k_fast_output_margin) return step_result::next;
    const size_t in_end = available - k_fast_input_margin;  // `next` up to which top-ups need no check
    uint8_t* const out = c.out;
    uint8_t* const op_end = out + (out_limit - k_fast_output_margin);
    uint8_t* op = out + c.pos;
    bit_stream b = c.bits;

    step_result res = step_result::next;
    while (op < op_end && b.next <= in_end) {
        size_t round = std::min(static_cast<size_t>(op_end - op) / k_max_plain_match + 1,
                                (in_end - b.next) / xpress_bits::k_max_top_up_bytes + 1);
        b.refill_fast(in);
        unsigned entry = lookup(table, b.peek_index());
        do {
            const unsigned bits = entry & k_table_bits_mask;
            if (entry < k_first_match_entry) {
                b.take(bits);
                *op++ = static_cast<uint8_t>(entry >> k_table_symbol_shift);
                entry = lookup(table, b.peek_index());
            } else if (const unsigned sym = entry >> k_table_symbol_shift;
                       (sym & k_match_length_code_mask) != k_length_escape_code) {
                const uint64_t window = b.buf;  // this symbol's code and offset bits on top
                b.take(bits);
                entry = lookup(table, b.peek_index());
                const match_code& m = k_match_codes.code[sym - k_match_symbol_base];
                // Rotated, the code and offset bits come to the bottom, the offset bits last.
                const size_t offset = (std::rotl(window, static_cast<int>(bits)) & m.offset_mask) + m.offset_base;
                if (offset > static_cast<size_t>(op - out)) {  // would reach before the output start
                    res = step_result::fail;
                    break;
                }
                const uint8_t* src = op - offset;
                if (offset >= k_copy_step) {
                    copy8(op, src);
                    // A match of up to 8 bytes (most are) moves its first 8 bytes once more into
                    // the slack instead of reading the bytes just written: for offsets below 16
                    // that read would have to wait for the first move to be stored.
                    copy8(op + k_copy_step, m.length > k_copy_step ? src + k_copy_step : src);
                    if (m.length > 2 * k_copy_step) copy8(op + 2 * k_copy_step, src + 2 * k_copy_step);
                } else {
                    copy_exact(op, offset, m.length);
                }
                op += m.length;
            } else {
                // Long match: the extension interrupts the read-ahead; decoded the general way,
                // then a new round starts.
                c.bits = b;
                c.pos = static_cast<size_t>(op - out);
                res = decode_long_match(c, entry >> k_table_symbol_shift, bits, in, available);
                b = c.bits;
                op = out + c.pos;
                break;
            }
            b.refill_fast_two_words(in);  // at least 18 bits are left after a symbol
        } while (--round != 0);
        if (res != step_result::next) break;
    }
    c.bits = b;
    c.pos = static_cast<size_t>(op - out);
    return res;
}

// Writes n copies of a decode-table entry; n is a power of two. Long spans (short codes) are
// written 8 entries per 16-byte move.
inline void fill_entries(uint16_t* dst, size_t n, uint16_t entry) {
    constexpr size_t k_entries_per_move = 8;
    if (n < k_entries_per_move) {
        for (size_t i = 0; i < n; ++i) dst[i] = entry;
        return;
    }
    uint16_t pattern[k_entries_per_move];
    for (uint16_t& e : pattern) e = entry;
    for (size_t i = 0; i < n; i += k_entries_per_move) std::memcpy(dst + i, pattern, sizeof pattern);
}

// An entry for `sym` with a code of `len` bits. A match's entry counts its offset bits too: the
// main loop takes both at once.
inline uint16_t table_entry(unsigned sym, unsigned len) {
    const unsigned offset_bits =
        sym >= k_match_symbol_base ? (sym >> k_match_offset_bits_shift) & k_match_offset_bits_mask : 0;
    return static_cast<uint16_t>(sym << k_table_symbol_shift | (len + offset_bits));
}

}  // namespace

xpress_huffman_decoder::xpress_huffman_decoder() : table_(std::make_unique<xpress_decode_table>()) {}

bool xpress_huffman_decoder::build_table(const uint8_t* chunk, size_t available) {
    if (chunk == nullptr || available < k_huffman_table_bytes) return false;

    std::array<uint8_t, k_huffman_symbols> code_lengths;
    std::array<uint16_t, k_huffman_max_code_length + 1> count{};
    for (size_t i = 0; i < k_huffman_table_bytes; ++i) {
        const uint8_t lo = chunk[i] & k_code_length_mask;
        const uint8_t hi = chunk[i] >> 4;
        code_lengths[2 * i] = lo;
        code_lengths[2 * i + 1] = hi;
        ++count[lo];
        ++count[hi];
    }

    // Counting sort by (length, symbol): codes are handed out shortest first, and within one
    // length in symbol order, each taking 2^(15 - length) consecutive places of the code space.
    std::array<uint16_t, k_huffman_max_code_length + 2> start{};
    for (unsigned len = 1; len <= k_huffman_max_code_length; ++len) start[len + 1] = start[len] + count[len];
    std::array<uint16_t, k_huffman_symbols> order;
    for (unsigned sym = 0; sym < k_huffman_symbols; ++sym) {
        const unsigned len = code_lengths[sym];
        if (len != 0) order[start[len]++] = static_cast<uint16_t>(sym);
    }

    xpress_decode_table& t = *table_;
    size_t next = 0;  // place in the 15-bit code space
    size_t k = 0;
    unsigned len = 1;
    // Codes up to k_first_level_bits long fill 2^(11 - length) first-level entries each.
    for (; len <= k_first_level_bits; ++len) {
        const size_t span = size_t{1} << (k_first_level_bits - len);
        for (size_t c = 0; c < count[len]; ++c, ++k) {
            if (next >= k_huffman_code_space) break;  // over-full code: cut off here
            const unsigned sym = order[k];
            fill_entries(t.first.data() + (next >> k_second_level_bits), span, table_entry(sym, len));
            // Spans are handed out longest first, so `next` is a multiple of the span and the
            // span fits in the table whenever it starts inside it.
            next += span << k_second_level_bits;
        }
    }
    // Longer codes: each first-level prefix they start with leads to a second-level table of its
    // own, opened when the first code reaches it (codes come in order, so at its first entry).
    size_t tables = 0;
    for (; len <= k_huffman_max_code_length; ++len) {
        const size_t span = size_t{1} << (k_huffman_max_code_length - len);
        for (size_t c = 0; c < count[len]; ++c, ++k) {
            if (next >= k_huffman_code_space) break;
            const size_t prefix = next >> k_second_level_bits;
            const size_t within = next & (k_second_level_entries - 1);
            if (within == 0) t.first[prefix] = static_cast<uint16_t>(tables++ << k_table_symbol_shift);
            const size_t base = size_t{t.first[prefix]} >> k_table_symbol_shift << k_second_level_bits;
            fill_entries(t.second.data() + base + within, span, table_entry(order[k], len));
            next += span;
        }
    }
    // An incomplete code would leave entries of an earlier chunk (or zeros) in the table.
    return next == k_huffman_code_space;
}

bool xpress_huffman_decoder::decode_chunk(const uint8_t* chunk, size_t available, uint8_t* image,
                                          size_t image_size, size_t& pos, size_t& used) {
    used = 0;
    if (!build_table(chunk, available)) return false;

    chunk_state c;
    c.out = image;
    c.pos = pos;
    c.out_size = image_size;
    c.chunk_limit = c.pos + k_mam_chunk_size;
    const size_t out_limit = std::min(c.chunk_limit, c.out_size);
    // Before the first symbol the format's reader stands at p = 260.
    if (c.pos >= out_limit || available <= k_stream_start) {
        used = k_stream_start;
        return true;
    }
    const xpress_decode_table& table = *table_;

    step_result res = step_checked(c, table, chunk, available);
    if (res == step_result::next) res = run_fast(c, table, chunk, available, out_limit);
    while (res == step_result::next && c.pos < out_limit && c.bits.reader_position() < available)
        res = step_checked(c, table, chunk, available);

    // Clear what 8-byte match moves wrote past the final position: bytes never decoded stay 0.
    std::fill(c.out + c.pos, c.out + std::min(c.pos + k_copy_slop, c.out_size), uint8_t{0});
    pos = c.pos;
    if (res == step_result::fail) return false;
    used = c.bits.reader_position();
    return true;
}

}  // namespace runtrail
