// The container decoders against streams from the test encoder and broken input (the real MAM files
// are held whole by the captured reports).
#include <optional>
#include <random>

#include "container.h"
#include "test_support.h"
#include "xpress_lz77.h"
#include "xpress_test_encoder.h"

namespace runtrail::test {
namespace {

using namespace xpress_test;

// The image a container holds; nothing when it is refused.
std::optional<std::vector<uint8_t>> unwrap(const std::vector<uint8_t>& bytes) {
    xpress_huffman_decoder decoder;
    std::vector<uint8_t> image;
    const byte_span span(bytes.data(), bytes.size());
    if (!unwrap_container(span, detect_container(span), decoder, image)) return std::nullopt;
    return image;
}

// One chunk, followed by `padding` zero bytes, into a 100-byte image.
struct chunk_result {
    bool ok = false;
    size_t pos = 0, used = 99;
};
chunk_result decode_one(const std::vector<coded_symbol>& symbols, size_t padding = k_stream_padding) {
    std::vector<uint8_t> chunk = encode_chunk(flat_lengths(), symbols), image(100, 0);
    chunk.resize(chunk.size() + padding, 0);
    chunk_result r;
    r.ok = xpress_huffman_decoder().decode_chunk(chunk.data(), chunk.size(), image.data(), 100, r.pos, r.used);
    return r;
}

// Symbols and the bytes they stand for, built side by side.
struct plan {
    std::vector<uint8_t> data;
    std::vector<coded_symbol> symbols;
    void add_literal(uint8_t byte) {
        data.push_back(byte);
        symbols.push_back(literal(byte));
    }
    void add_match(uint32_t length, uint32_t offset) {
        symbols.push_back(match(length, offset));
        for (uint32_t i = 0; i < length; ++i) data.push_back(data[data.size() - offset]);
    }
};

// The Huffman code lengths for how often each symbol occurs.
code_lengths lengths_for(const std::vector<coded_symbol>& symbols) {
    std::array<uint64_t, 512> freq{};
    for (const auto& s : symbols) ++freq[s.symbol];
    return huffman_lengths(freq);
}

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

TEST(DecoderRoundTrip, MamAndMem0WithLongCodesWithAndWithoutMatches) {
    // Skewed bytes give codes of up to 15 bits; every byte value occurs; the end falls mid-chunk.
    std::mt19937 rng(77);
    std::geometric_distribution<int> geo(0.35);
    std::vector<uint8_t> data(200001);
    for (auto& b : data) b = static_cast<uint8_t>(std::min(geo(rng), 255));
    for (int i = 0; i < 256; ++i) data[static_cast<size_t>(i) * 700] = static_cast<uint8_t>(i);
    std::vector<coded_symbol> literals(data.size());
    std::transform(data.begin(), data.end(), literals.begin(), literal);
    const code_lengths l = lengths_for(literals);
    ASSERT_EQ(*std::max_element(l.begin(), l.end()), 15);
    for (bool matches : {false, true}) {
        EXPECT_EQ(unwrap(make_mam(data, matches)), data) << "matches " << matches;
        EXPECT_EQ(unwrap(make_mem0(data, matches)), data) << "matches " << matches;
    }
}

TEST(DecoderRoundTrip, RandomMixesOfEverySymbolOverSeveralChunksSomeWithCodesLongerThanElevenBits) {
    // 24 frequent symbols leave the other 488 codes of 12 to 15 bits, which the decode table
    // reaches through its second level, spread over as many 11-bit prefixes as such a code can have.
    std::array<uint64_t, 512> freq;
    freq.fill(1);
    for (unsigned s = 0; s < 24; ++s) freq[s * 21] = 1'000'000;
    const code_lengths long_codes = huffman_lengths(freq);
    ASSERT_GE(std::count_if(long_codes.begin(), long_codes.end(), [](uint8_t n) { return n > 11; }), 480);

    // Every symbol alike: literals, and matches of every offset-bit count (offsets 1 to 7 repeat
    // within one 8-byte move) and length code, with byte and 16-bit length escapes. Each chunk ends
    // on the symbol reaching its 64 KiB mark, often a match running past it; the middle one has the
    // long codes, the others the codes their symbol counts give.
    std::mt19937 rng(12);
    for (int round = 0; round < 4; ++round) {
        plan p;
        std::vector<std::vector<uint8_t>> chunks;
        std::array<bool, 512> used{};
        for (int c = 0; c < 3; ++c) {
            p.symbols.clear();
            for (const size_t end = p.data.size() + k_mam_chunk_size; p.data.size() < end;) {
                const unsigned sym = rng() % 512, nbits = sym < 256 ? 0 : (sym - 256) >> 4, code = (sym - 256) & 15;
                const uint32_t offset = (1u << nbits) + rng() % (1u << nbits);
                if (sym < 256 || offset > p.data.size()) {
                    p.add_literal(static_cast<uint8_t>(sym < 256 ? sym : rng()));
                } else {
                    p.add_match(code < 15 ? code + 3 : 18 + rng() % 400, offset);
                    ASSERT_EQ(p.symbols.back().symbol, sym);
                }
                used[p.symbols.back().symbol] = true;
            }
            chunks.push_back(encode_chunk(c == 1 ? long_codes : lengths_for(p.symbols), p.symbols));
        }
        ASSERT_EQ(std::count(used.begin(), used.end(), true), 512);
        EXPECT_EQ(unwrap(mam_from_chunks(static_cast<uint32_t>(p.data.size()), chunks)), p.data) << "round " << round;
    }
}

TEST(DecoderChunkBoundary, NextChunkStartsRightAfterTheInputOfA64KiBChunk) {
    // The first chunk ends exactly on its 64 KiB mark, or with a match across it; the second
    // chunk's table follows the first chunk's input, and its far match reaches back.
    for (bool crossing : {false, true}) {
        plan p;
        for (uint8_t b : random_bytes(crossing ? 65530 : 65536, 9)) p.add_literal(b);
        if (crossing) p.add_match(100, 1000);  // 94 bytes past the mark
        const auto first = encode_chunk(flat_lengths(), p.symbols);
        p.symbols.clear();
        p.add_literal('Z');
        p.add_match(10, 65535);
        const auto chunks = {first, encode_chunk(flat_lengths(), p.symbols)};
        EXPECT_EQ(unwrap(mam_from_chunks(static_cast<uint32_t>(p.data.size()), chunks)), p.data) << "crossing " << crossing;
    }
}

TEST(DecoderBadInput, ChunkFailsOnMatchBeforeTheStartAndBadLengthEscapes) {
    auto r = decode_one({literal('a'), match(4, 2)});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.used, 0u);
    EXPECT_EQ(r.pos, 1u);  // the literal before the failure stays

    // A 16-bit length below 15 is invalid; 15 itself gives a match of 18.
    EXPECT_FALSE(decode_one({literal('z'), coded_symbol{256 + 15, {255, 14, 0}, 0, 17}}).ok);
    r = decode_one({literal('z'), coded_symbol{256 + 15, {255, 15, 0}, 0, 18}}, 0);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.pos, 19u);

    // The escape byte would lie past the end of the input.
    EXPECT_FALSE(decode_one({literal('z'), coded_symbol{256 + 15, {}, 0, 18}}, 0).ok);
}

TEST(DecoderBadInput, BrokenStreamKeepsTheDeclaredSizeWithZerosWhereNothingDecoded) {
    // An incomplete code (every symbol but the last with 9 bits: 64 decode-table entries stay
    // unfilled) in the second chunk is refused, and the first chunk's table must not stand in for it.
    code_lengths incomplete = flat_lengths();
    incomplete[511] = 0;
    const auto first = encode_chunk(flat_lengths(), std::vector<coded_symbol>(65536, literal('a')));
    auto r = unwrap(mam_from_chunks(65538, {first, encode_chunk(incomplete, {literal('b'), literal('c')})}));
    std::vector<uint8_t> expect(65538, 'a');
    expect[65536] = expect[65537] = 0;
    EXPECT_EQ(r, expect);

    // Input breaking off 1000 bytes into the second of three chunks (about 900 bytes decode).
    const auto data = random_bytes(3 * 65536, 4);
    const auto chunks = encode_chunks(data, false);
    ASSERT_EQ(chunks.size(), 3u);
    auto mam = mam_from_chunks(static_cast<uint32_t>(data.size()), chunks);
    mam.resize(8 + chunks[0].size() + 1000);
    r = unwrap(mam);
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->size(), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 65536 + 600, r->begin()));
    EXPECT_EQ(std::count(r->begin() + 2 * 65536, r->end(), 0), 65536);
}

TEST(DecoderBadInput, DeclaredSizesBeyondTheInputOrTheImageCapAreRefused) {
    std::vector<uint8_t> tiny = {'M', 'A', 'M', 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0};  // 4 GiB - 1
    EXPECT_FALSE(unwrap(tiny).has_value());

    const size_t most = max_decodable_image(tiny.size());  // too little input for a chunk: zeros
    put<uint32_t>(tiny, 4, static_cast<uint32_t>(most));
    EXPECT_EQ(unwrap(tiny), std::vector<uint8_t>(most, 0));
    put<uint32_t>(tiny, 4, static_cast<uint32_t>(most + 1));
    EXPECT_FALSE(unwrap(tiny).has_value());

    tiny.resize(40000, 0);  // input for more than the cap
    ASSERT_GT(max_decodable_image(tiny.size()), k_max_container_image);
    put<uint32_t>(tiny, 4, static_cast<uint32_t>(k_max_container_image));
    EXPECT_TRUE(unwrap(tiny).has_value());
    put<uint32_t>(tiny, 4, static_cast<uint32_t>(k_max_container_image + 1));
    EXPECT_FALSE(unwrap(tiny).has_value());
}

// A plain LZ77 item of a hibernation-style block.
struct lz_item {
    bool is_match = false;
    uint8_t byte = 0;
    uint32_t length = 0, offset = 0;  // 3.., 1..8192
};
lz_item lit(uint8_t b) { return {false, b, 0, 0}; }
lz_item mat(uint32_t length, uint32_t offset) { return {true, 0, length, offset}; }

// The bytes LZ77 items stand for, zero-filled to `size`.
std::vector<uint8_t> expand(const std::vector<lz_item>& items, size_t size) {
    std::vector<uint8_t> out;
    for (const auto& it : items) {
        if (!it.is_match) out.push_back(it.byte);
        for (uint32_t i = 0; it.is_match && i < it.length; ++i) out.push_back(out[out.size() - it.offset]);
    }
    out.resize(size, 0);
    return out;
}

// A block: the 32-byte header (signature, pages - 1, and the compressed size - 1 in bits 2..31),
// then `body`.
std::vector<uint8_t> xpress_block(uint8_t pages_minus_one, const std::vector<uint8_t>& body, uint32_t size = 0) {
    std::vector<uint8_t> v = {0x81, 0x81, 'x', 'p', 'r', 'e', 's', 's', pages_minus_one};
    put_u32(v, ((size ? size : static_cast<uint32_t>(body.size())) - 1) << 2);
    v.resize(k_xpress_block_header_bytes, 0);
    v.insert(v.end(), body.begin(), body.end());
    return v;
}

TEST(DecoderXpressBlock, LengthEscapesTheStopAtA64KiBBoundaryAndStoredBlocks) {
    // Each item is a literal byte or a match word (offset - 1 above a 3-bit length), a flag word
    // before them (most significant bit first, 1 = match). A length past 9 takes a half-byte (two
    // matches share one, the first in its low half), past 24 a byte, past 279 a 255 byte and 16 bits.
    const std::vector<lz_item> items = {lit('a'),    lit('b'),   lit('c'),   lit('d'),    lit('e'),
                                        mat(15, 2),  mat(19, 5), mat(25, 3), mat(279, 4), mat(280, 7),
                                        mat(303, 6), mat(3, 1),  lit('f'),   mat(65536 - 930, 900)};
    const std::vector<uint8_t> body = {
        0x00, 0x00, 0xF4, 0x07, 'a', 'b', 'c', 'd', 'e',  // items 5 to 11 and 13 are matches
        0x0F, 0x00, 0x95, 0x27, 0x00,                     // 15 and 19: half-bytes 5 and 9 in one byte
        0x17, 0x00, 0xFF, 0x00, 0x1F, 0x00, 0xFE,         // 25 and 279: half-bytes 15 and 15, bytes 0 and 254
        0x37, 0x00, 0xFF, 0xFF, 0x15, 0x01,               // 280: 16 bits 277
        0x2F, 0x00, 0xFF, 0x2C, 0x01, 0x00, 0x00, 'f',    // 303: 16 bits 300; 3
        0x1F, 0x1C, 0x0F, 0xFF, 0x5B, 0xFC, 0, 0, 0, 0, 0, 0, 0};  // 64606 at 900: it ends on 64 KiB
    EXPECT_EQ(unwrap(xpress_block(15, body)), expand(items, 65536));
    EXPECT_FALSE(unwrap(xpress_block(0, body)).has_value());  // only 16 pages open
    EXPECT_FALSE(unwrap(xpress_block(31, body)).has_value());

    // A match stops at the 64 KiB boundary, and the next item follows it there: 'a', 65529 and
    // 100 at 1, 'Z'.
    const auto across = xpress_block(31, {0, 0, 0, 0x60, 'a', 0x07, 0x00, 0xFF, 0xFF, 0xF6, 0xFF, 0x07, 0x00, 0x4B, 'Z', 0});
    std::vector<uint8_t> out(2 * 65536, 0);
    EXPECT_GT(decode_xpress_block(byte_span(across.data(), across.size()), out.data(), out.size()), 0u);
    EXPECT_EQ(out, expand({lit('a'), mat(65535, 1), lit('Z')}, out.size()));

    // A compressed size of 64 KiB marks the bytes after the header as stored: copied as they are.
    const std::vector<uint8_t> data = random_bytes(65536, 5);
    EXPECT_EQ(unwrap(xpress_block(15, data, 65536)), data);
}

}  // namespace
}  // namespace runtrail::test
