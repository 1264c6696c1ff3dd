// Test-only encoder for the LZ77+Huffman containers runtrail decodes: a chunk writer (with a
// greedy LZ77 parse, or literals only, or hand-picked symbols and code lengths) and the "MAM" and
// "MEM0" wrappers. It writes exactly the layout the decoders read, so round trips test the
// decoders against an independent statement of the format. Shared by the tests and the benchmark.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <queue>
#include <vector>

namespace xpress_test {

using code_lengths = std::array<uint8_t, 512>;

// One Huffman-coded symbol with what follows it in the stream: extension bytes of a long match
// (written into the byte stream) and the offset bits (written into the bit stream).
struct coded_symbol {
    uint16_t symbol = 0;
    std::vector<uint8_t> extension;
    uint32_t offset_bits = 0;  // value of the (symbol - 256) >> 4 offset bits
    uint32_t output_bytes = 1; // bytes this symbol produces (chunk splitting)
};

inline coded_symbol literal(uint8_t byte) { return {byte, {}, 0, 1}; }

// A match of `length` (3..65535) bytes at distance `offset` (1..65535).
inline coded_symbol match(uint32_t length, uint32_t offset) {
    coded_symbol s;
    const uint32_t l = length - 3;
    unsigned nbits = 0;
    while ((offset >> (nbits + 1)) != 0) ++nbits;
    uint32_t code = std::min<uint32_t>(l, 15);
    if (l >= 15) {
        if (l - 15 < 255) {
            s.extension.push_back(static_cast<uint8_t>(l - 15));
        } else {
            s.extension.push_back(255);
            s.extension.push_back(static_cast<uint8_t>(l & 0xFF));
            s.extension.push_back(static_cast<uint8_t>(l >> 8));
        }
    }
    s.symbol = static_cast<uint16_t>(256 + (nbits << 4) + code);
    s.offset_bits = offset - (1u << nbits);
    s.output_bytes = length;
    return s;
}

// Every one of the 512 symbols with a 9-bit code: a complete code usable for any symbol.
inline code_lengths flat_lengths() {
    code_lengths l;
    l.fill(9);
    return l;
}

// Length-limited (15 bits) Huffman code lengths for the given symbol counts; always at least
// two symbols so the code is complete.
inline code_lengths huffman_lengths(std::array<uint64_t, 512> freq) {
    int used = 0;
    for (uint64_t f : freq) used += f != 0;
    if (used < 2) {
        if (freq[0] == 0) freq[0] = 1; else freq[1] = 1;
        if (used == 0) freq[256] = 1;
    }
    for (;;) {
        using node = std::pair<uint64_t, int>;
        std::priority_queue<node, std::vector<node>, std::greater<>> pq;
        std::vector<int> parent(1024, -1);
        for (int i = 0; i < 512; ++i)
            if (freq[i]) pq.push({freq[i], i});
        int next = 512;
        while (pq.size() > 1) {
            auto a = pq.top(); pq.pop();
            auto b = pq.top(); pq.pop();
            parent[a.second] = parent[b.second] = next;
            pq.push({a.first + b.first, next++});
        }
        code_lengths l{};
        unsigned longest = 0;
        for (int i = 0; i < 512; ++i) {
            if (!freq[i]) continue;
            unsigned d = 0;
            for (int n = i; parent[n] != -1; n = parent[n]) ++d;
            l[i] = static_cast<uint8_t>(d);
            longest = std::max(longest, d);
        }
        if (longest <= 15) return l;
        for (auto& f : freq)
            if (f) f = (f + 1) / 2;
    }
}

// Writes one chunk: the 256-byte length table, then the symbols. The bit stream's 16-bit words
// are placed where the decoder reads them: two at the start, and each further word at the byte
// position reached when the bits consumed so far pass the next 16-bit mark, so extension bytes
// land between words exactly as the decoder meets them. Bits fill each word from its top.
inline std::vector<uint8_t> encode_chunk(const code_lengths& lengths, const std::vector<coded_symbol>& symbols) {
    std::vector<uint8_t> bytes(260, 0);
    for (size_t i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>((lengths[2 * i] & 15) | (lengths[2 * i + 1] << 4));
    // Canonical codes in (length, symbol) order, each code the top bits of its table range.
    std::array<uint32_t, 512> codes{};
    uint32_t next = 0;
    for (unsigned len = 1; len <= 15; ++len)
        for (unsigned sym = 0; sym < 512; ++sym)
            if (lengths[sym] == len) {
                codes[sym] = next >> (15 - len);
                next += 1u << (15 - len);
            }
    std::vector<size_t> slots{256, 258};
    std::vector<bool> bits;
    const auto put_bits = [&](uint32_t value, unsigned n) {
        for (unsigned i = n; i-- > 0;) bits.push_back((value >> i) & 1u);
        if (bits.size() > 16 * (slots.size() - 1)) {
            slots.push_back(bytes.size());
            bytes.resize(bytes.size() + 2, 0);
        }
    };
    for (const coded_symbol& s : symbols) {
        put_bits(codes[s.symbol], lengths[s.symbol]);
        bytes.insert(bytes.end(), s.extension.begin(), s.extension.end());
        if (s.symbol >= 256) put_bits(s.offset_bits, (s.symbol - 256) >> 4);
    }
    for (size_t b = 0; b < bits.size(); ++b)  // a word is little-endian: its top bits in its second byte
        if (bits[b]) bytes[slots.at(b / 16) + (b % 16 < 8)] |= static_cast<uint8_t>(0x80 >> (b % 8));
    return bytes;
}

// Greedy LZ77 parse (3-byte hash, one candidate per hash) or literals only.
inline std::vector<coded_symbol> lz77_parse(const std::vector<uint8_t>& data, bool use_matches) {
    std::vector<coded_symbol> out;
    std::vector<int64_t> head(1 << 16, -1);
    auto hash = [&](size_t i) {
        return ((data[i] * 2654435761u) ^ (data[i + 1] * 40503u) ^ (data[i + 2] * 977u)) & 0xFFFF;
    };
    size_t i = 0;
    while (i < data.size()) {
        if (use_matches && i + 3 <= data.size()) {
            const uint32_t h = hash(i);
            const int64_t cand = head[h];
            head[h] = static_cast<int64_t>(i);
            if (cand >= 0 && i - static_cast<size_t>(cand) <= 65535) {
                size_t len = 0;
                const size_t max_len = std::min<size_t>(65535, data.size() - i);
                while (len < max_len && data[static_cast<size_t>(cand) + len] == data[i + len]) ++len;
                if (len >= 3) {
                    out.push_back(match(static_cast<uint32_t>(len), static_cast<uint32_t>(i - static_cast<size_t>(cand))));
                    for (size_t k = i + 1; k < i + len && k + 3 <= data.size(); ++k) head[hash(k)] = static_cast<int64_t>(k);
                    i += len;
                    continue;
                }
            }
        }
        out.push_back(literal(data[i]));
        ++i;
    }
    return out;
}

// Splits the symbols into chunks the way the decoder does (a new table once 64 KiB are out) and
// writes each with its own Huffman code.
inline std::vector<std::vector<uint8_t>> encode_chunks(const std::vector<uint8_t>& data, bool use_matches) {
    const auto symbols = lz77_parse(data, use_matches);
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t i = 0; i < symbols.size();) {
        const auto first = symbols.begin() + static_cast<ptrdiff_t>(i);
        std::array<uint64_t, 512> freq{};
        for (uint64_t produced = 0; i < symbols.size() && produced < 65536; ++i) {
            produced += symbols[i].output_bytes;
            ++freq[symbols[i].symbol];
        }
        chunks.push_back(encode_chunk(huffman_lengths(freq), {first, symbols.begin() + static_cast<ptrdiff_t>(i)}));
    }
    return chunks;
}

inline void put_u32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// Decoding stops once no input byte is left, so a stream ends with a little padding.
constexpr size_t k_stream_padding = 8;

inline std::vector<uint8_t> mam_from_chunks(uint32_t declared, const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<uint8_t> v = {'M', 'A', 'M', 0x04};
    put_u32(v, declared);
    for (const auto& c : chunks) v.insert(v.end(), c.begin(), c.end());
    v.resize(v.size() + k_stream_padding, 0);
    return v;
}

inline std::vector<uint8_t> make_mam(const std::vector<uint8_t>& data, bool use_matches = true) {
    return mam_from_chunks(static_cast<uint32_t>(data.size()), encode_chunks(data, use_matches));
}

inline std::vector<uint8_t> make_mem0(const std::vector<uint8_t>& data, bool use_matches = true) {
    std::vector<uint8_t> v = {'M', 'E', 'M', '0'};
    put_u32(v, static_cast<uint32_t>(data.size()));
    for (const auto& c : encode_chunks(data, use_matches)) {
        put_u32(v, static_cast<uint32_t>(c.size()));
        v.insert(v.end(), c.begin(), c.end());
    }
    v.resize(v.size() + k_stream_padding, 0);
    return v;
}

}  // namespace xpress_test
