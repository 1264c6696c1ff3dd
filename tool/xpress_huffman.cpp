// LZ77+Huffman chunk decoder.
//
// Bit reader: a 32-bit buffer whose top (16 + extra) bits are valid. A symbol takes at most 15
// bits, so after each take the buffer still holds at least one valid bit; when `extra` goes
// negative the next 16-bit word is read at p and slotted in under the valid bits. The position
// of that read matters: the extension bytes of long matches sit in the input exactly where the
// reader stands at the moment it needs them, so the refill schedule is part of the format.
//
// The main loop runs while at least k_fast_input_margin bytes remain at p, which covers every
// read one symbol can make (refill word, escape byte, escape word, second refill word); there
// the reads need no further checks. The last few bytes are decoded by the same step with every
// read checked and zero words supplied past the end.
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
constexpr unsigned k_bit_buffer_bits = 32;
constexpr unsigned k_word_bits = 16;
constexpr unsigned k_index_shift = k_bit_buffer_bits - k_huffman_max_code_length;
// Largest span of input one symbol can read from p: refill word (2), escape byte (1),
// escape word (2), refill word after the offset bits (2).
constexpr size_t k_fast_input_margin = 8;
// Match copies in the main loop move 16 bytes at a time and may write up to this many bytes past
// the match end (always inside the output; cleared again when the chunk ends).
constexpr size_t k_copy_slop = 16;

inline uint16_t load_le16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

struct bit_reader {
    uint32_t bits;
    int32_t extra;
    size_t p;
};

// Takes n (0..15) bits off the top of the buffer and refills when the valid count drops below 16.
template <bool checked>
inline void consume(bit_reader& r, unsigned n, const uint8_t* in, size_t available) {
    r.bits <<= n;
    r.extra -= static_cast<int32_t>(n);
    if constexpr (checked) {
        if (r.extra < 0) {
            uint32_t word = available - std::min(available, r.p) >= 2 ? load_le16(in + r.p) : 0;
            r.bits |= word << static_cast<unsigned>(-r.extra);
            r.p += 2;
            r.extra += static_cast<int32_t>(k_word_bits);
        }
    } else {
        // Branch-free: the word is always readable here; masks keep or drop the refill.
        uint32_t word = load_le16(in + r.p);
        uint32_t refill = static_cast<uint32_t>(r.extra >> 31);  // all ones when extra < 0
        r.bits |= (word << (static_cast<unsigned>(-r.extra) & 31u)) & refill;
        r.p += 2u & refill;
        r.extra += static_cast<int32_t>(k_word_bits & refill);
    }
}

// Copies a match of n bytes at distance `offset` to out[pos..pos+n); `wild` allows 16-byte moves
// that may write up to k_copy_slop bytes past the end.
inline void copy_match(uint8_t* out, size_t pos, size_t offset, size_t n, bool wild) {
    uint8_t* dst = out + pos;
    const uint8_t* src = dst - offset;
    uint8_t* const end = dst + n;
    if (wild && offset >= k_copy_slop) {
        do {
            std::memcpy(dst, src, k_copy_slop);
            dst += k_copy_slop;
            src += k_copy_slop;
        } while (dst < end);
    } else if (offset == 1) {
        std::memset(dst, *src, n);
    } else if (wild && offset >= 8) {
        do {
            std::memcpy(dst, src, 8);
            dst += 8;
            src += 8;
        } while (dst < end);
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

// Decodes one symbol. Unchecked steps require available - p >= k_fast_input_margin.
template <bool checked>
inline step_result step(chunk_state& s, const uint16_t* table, const uint8_t* in, size_t available) {
    bit_reader& r = s.r;
    const uint16_t entry = table[r.bits >> k_index_shift];
    const unsigned sym = entry & k_table_symbol_mask;
    consume<checked>(r, entry >> k_table_length_shift, in, available);
    if (sym < k_match_symbol_base) {
        s.out[s.pos++] = static_cast<uint8_t>(sym);
        return step_result::next;
    }
    const unsigned code = sym - k_match_symbol_base;
    uint32_t length = code & k_match_length_code_mask;
    if (length == k_length_escape_code) {
        if (checked && r.p >= available) return step_result::fail;
        const unsigned b = in[r.p++];
        if (b < k_length_escape_byte) {
            length = b + k_length_escape_code;
        } else {
            if (checked && available - r.p < 2) return step_result::fail;
            length = load_le16(in + r.p);
            r.p += 2;
            if (length < k_min_escaped_length) return step_result::fail;
        }
    }
    const unsigned nbits = code >> k_match_offset_bits_shift;
    const size_t offset_bits = static_cast<size_t>((uint64_t{r.bits} << nbits) >> k_bit_buffer_bits);
    consume<checked>(r, nbits, in, available);
    const size_t offset = offset_bits + (size_t{1} << nbits);
    const size_t match_length = (length + k_min_match_length) % k_match_length_modulus;

    const size_t room_in_chunk = s.chunk_limit - s.pos;
    const size_t n = std::min(match_length, s.out_size - s.pos);
    if (n != 0) {
        if (s.pos < offset) return step_result::fail;  // would reach before the output start
        const bool wild = !checked && s.out_size - s.pos >= n + k_copy_slop;
        copy_match(s.out, s.pos, offset, n, wild);
        s.pos += n;
    }
    return match_length > room_in_chunk ? step_result::chunk_end : step_result::next;
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

    const qn::byte_view input(chunk, available);
    chunk_state s;
    s.r.bits = (uint32_t{input.u16(k_huffman_table_bytes).value_or(0)} << k_word_bits) |
               input.u16(k_huffman_table_bytes + 2).value_or(0);
    s.r.extra = static_cast<int32_t>(k_word_bits);
    s.r.p = k_huffman_stream_start;
    s.out = decoder.m_output.data();
    s.pos = decoder.m_output_pos;
    s.out_size = decoder.m_output.size();
    s.chunk_limit = s.pos + k_mam_chunk_size;
    const size_t out_limit = std::min(s.chunk_limit, s.out_size);
    const uint16_t* table = decoder.m_decode_table.data();

    step_result res = step_result::next;
    if (available >= k_fast_input_margin) {
        const size_t fast_end = available - k_fast_input_margin;
        while (s.pos < out_limit && s.r.p <= fast_end) {
            res = step<false>(s, table, chunk, available);
            if (res != step_result::next) break;
        }
    }
    while (res == step_result::next && s.pos < out_limit && s.r.p < available)
        res = step<true>(s, table, chunk, available);

    // Clear what 16-byte match moves wrote past the final position: bytes never decoded stay 0.
    std::fill(s.out + s.pos, s.out + std::min(s.pos + k_copy_slop, s.out_size), uint8_t{0});
    decoder.m_output_pos = static_cast<uint32_t>(s.pos);
    if (res == step_result::fail) return false;
    used = s.r.p;
    return true;
}
