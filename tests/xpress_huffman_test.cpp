#include <gtest/gtest.h>

#include <random>

#include "container.h"
#include "xpress_adt.h"
#include "xpress_huffman.h"
#include "xpress_test_encoder.h"

namespace {

using namespace xpress_test;

std::vector<uint8_t> lengths_table(const code_lengths& l) {
    std::vector<uint8_t> t(256);
    for (size_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>((l[2 * i] & 15) | (l[2 * i + 1] << 4));
    return t;
}

// Decodes one chunk into a fresh decoder whose output holds `declared` bytes.
struct chunk_run {
    bool ok = false;
    size_t used = 0;
    std::vector<uint8_t> out;
};
chunk_run run_chunk(std::vector<uint8_t> chunk, size_t declared, size_t padding = 8) {
    chunk.resize(chunk.size() + padding, 0);
    xpress_adt d;
    d.m_output.assign(declared, 0);
    chunk_run r;
    r.ok = decode_chunk(d, chunk.data(), chunk.size(), r.used);
    r.out.assign(d.m_output.begin(), d.m_output.begin() + d.m_output_pos);
    return r;
}

std::vector<uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(XpressHuffmanTable, CompleteOverFullAndIncompleteCodes) {
    xpress_adt d;
    code_lengths l{};
    for (int i = 0; i < 256; ++i) l[i] = 8;  // exactly fills 32768 entries
    auto t = lengths_table(l);
    ASSERT_TRUE(build_table(d, t.data(), t.size()));
    EXPECT_EQ(d.m_ready, 1);
    ASSERT_EQ(d.m_decode_table.size(), 32768u);
    EXPECT_EQ(d.m_decode_table[0] & k_table_symbol_mask, 0);
    EXPECT_EQ(d.m_decode_table[127] & k_table_symbol_mask, 0);
    EXPECT_EQ(d.m_decode_table[128] & k_table_symbol_mask, 1);
    EXPECT_EQ(d.m_decode_table[32767] & k_table_symbol_mask, 255);
    EXPECT_EQ(d.m_decode_table[32767] >> k_table_length_shift, 8);
    EXPECT_EQ(d.m_code_lengths[255], 8);
    EXPECT_EQ(d.m_code_lengths[256], 0);

    code_lengths over{};
    over.fill(8);  // 512 codes of length 8: twice too many, cut off at the end of the table
    t = lengths_table(over);
    xpress_adt d2;
    ASSERT_TRUE(build_table(d2, t.data(), t.size()));
    EXPECT_EQ(d2.m_decode_table[32767] & k_table_symbol_mask, 255);

    // Short codes first, then by symbol: symbol 300 (length 1) takes the first half.
    code_lengths mixed{};
    mixed[300] = 1;
    mixed[7] = 2;
    mixed[3] = 3;
    mixed[4] = 3;
    t = lengths_table(mixed);
    xpress_adt d3;
    ASSERT_TRUE(build_table(d3, t.data(), t.size()));
    EXPECT_EQ(d3.m_decode_table[0] & k_table_symbol_mask, 300);
    EXPECT_EQ(d3.m_decode_table[16384] & k_table_symbol_mask, 7);
    EXPECT_EQ(d3.m_decode_table[24576] & k_table_symbol_mask, 3);
    EXPECT_EQ(d3.m_decode_table[28672] & k_table_symbol_mask, 4);

    code_lengths incomplete = l;
    incomplete[255] = 0;
    t = lengths_table(incomplete);
    xpress_adt d4;
    EXPECT_FALSE(build_table(d4, t.data(), t.size()));
    EXPECT_EQ(d4.m_ready, 0);
    EXPECT_FALSE(build_table(d4, t.data(), 255));  // not even a whole table
    EXPECT_FALSE(build_table(d4, nullptr, 1000));
    size_t used = 99;
    d4.m_output.assign(10, 0);
    t.resize(300, 0);
    EXPECT_FALSE(decode_chunk(d4, t.data(), t.size(), used));
    EXPECT_EQ(used, 0u);
}

TEST(XpressHuffmanTable, LaterChunkWithIncompleteCodeFailsDespiteReadyFlag) {
    std::vector<uint8_t> first(65536, 'a');
    code_lengths partial{};
    for (int i = 0; i < 255; ++i) partial[i] = 8;  // symbol 255 missing: 128 entries unfilled
    const std::vector<coded_symbol> second_syms = {literal('b'), literal('c')};
    const auto chunks = std::vector<std::vector<uint8_t>>{
        encode_chunk(flat_lengths(), std::vector<coded_symbol>(65536, literal('a'))),
        encode_chunk(partial, second_syms)};
    auto mam = mam_from_chunks(65538, chunks);
    xpress_adt d;
    ASSERT_TRUE(decompress(d, mam));
    EXPECT_EQ(d.m_ready, 1);
    EXPECT_EQ(d.m_output_pos, 65536u);  // the second chunk failed before writing anything
    EXPECT_EQ(d.m_output[65535], 'a');
    EXPECT_EQ(d.m_output[65536], 0);
    EXPECT_EQ(d.m_output[65537], 0);
}

TEST(XpressHuffmanChunk, MatchSymbolsAndLengthEscapes) {
    // Symbol 256: length code 0, no offset bits: a match of 3 at offset 1.
    EXPECT_EQ(match(3, 1).symbol, 256);
    auto r = run_chunk(encode_chunk(flat_lengths(), {literal('a'), match(3, 1), literal('b')}), 5);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.out, bytes_of("aaaab"));

    // Escape byte 254: 15 + 254 + 3 = 272.
    const auto m272 = match(272, 2);
    EXPECT_EQ(m272.extension, (std::vector<uint8_t>{254}));
    r = run_chunk(encode_chunk(flat_lengths(), {literal('x'), literal('y'), m272}), 274);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.out.size(), 274u);
    for (size_t i = 0; i < r.out.size(); ++i) ASSERT_EQ(r.out[i], i % 2 ? 'y' : 'x');

    // Escape byte 255 and word 300: 303.
    const auto m303 = match(303, 1);
    EXPECT_EQ(m303.extension, (std::vector<uint8_t>{255, 44, 1}));
    r = run_chunk(encode_chunk(flat_lengths(), {literal('z'), m303, literal('!')}), 305);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.out, bytes_of(std::string(304, 'z') + "!"));

    // Escape word 14 is invalid.
    coded_symbol bad{256 + 15, {255, 14, 0}, 0, 17};
    r = run_chunk(encode_chunk(flat_lengths(), {literal('z'), bad}), 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.used, 0u);

    // Escape byte beyond the end of the input: never read, the chunk fails.
    coded_symbol cut{256 + 15, {}, 0, 18};
    const auto chunk = encode_chunk(flat_lengths(), {literal('z'), cut});
    ASSERT_EQ(chunk.size(), 262u);
    r = run_chunk(chunk, 100, 0);
    EXPECT_FALSE(r.ok);
    // Escape word with only one byte left.
    coded_symbol half{256 + 15, {255}, 0, 18};
    auto chunk2 = encode_chunk(flat_lengths(), {literal('z'), half});
    chunk2.push_back(0x40);
    r = run_chunk(chunk2, 100, 0);
    EXPECT_FALSE(r.ok);
}

TEST(XpressHuffmanChunk, MatchesStayInsideTheOutput) {
    // A match before the output start fails the chunk.
    auto r = run_chunk(encode_chunk(flat_lengths(), {literal('a'), match(4, 2)}), 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, bytes_of("a"));

    // A match longer than the rest of the declared size stops at its end.
    r = run_chunk(encode_chunk(flat_lengths(), {literal('a'), literal('b'), match(1000, 2), literal('q')}), 11);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.out, bytes_of("abababababa"));

    // A long match close to the end of a large output (the main loop's 16-byte moves must not
    // pass the end): 70 bytes output, match of 60 at offset 20.
    std::vector<coded_symbol> syms;
    std::vector<uint8_t> expect;
    for (int i = 0; i < 20; ++i) {
        syms.push_back(literal(static_cast<uint8_t>('A' + i)));
        expect.push_back(static_cast<uint8_t>('A' + i));
    }
    syms.push_back(match(50, 20));
    for (int i = 0; i < 50; ++i) expect.push_back(expect[expect.size() - 20]);
    r = run_chunk(encode_chunk(flat_lengths(), syms), 70, 64);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.out, expect);
}

TEST(XpressHuffmanChunk, MatchAcrossThe64KiBMarkIsCopiedWholeAndNextChunkFollows) {
    std::mt19937 rng(9);
    std::vector<uint8_t> data;
    std::vector<coded_symbol> first;
    for (int i = 0; i < 65530; ++i) {
        data.push_back(static_cast<uint8_t>(rng()));
        first.push_back(literal(data.back()));
    }
    first.push_back(match(100, 1000));
    for (int i = 0; i < 100; ++i) data.push_back(data[data.size() - 1000]);
    std::vector<coded_symbol> second = {literal('Z'), match(10, 65535)};
    data.push_back('Z');
    for (int i = 0; i < 10; ++i) data.push_back(data[data.size() - 65535]);

    std::array<uint64_t, 512> freq{};
    for (const auto& s : first) ++freq[s.symbol];
    const auto mam = mam_from_chunks(static_cast<uint32_t>(data.size()),
                                     {encode_chunk(huffman_lengths(freq), first), encode_chunk(flat_lengths(), second)});
    xpress_adt d;
    ASSERT_TRUE(decompress(d, mam));
    EXPECT_EQ(d.m_output, data);
}

TEST(XpressHuffmanChunk, InputEndingMidStreamDecodesWithZeroWordsAndStops) {
    std::vector<coded_symbol> syms;
    std::vector<uint8_t> data;
    for (int i = 0; i < 400; ++i) {
        data.push_back(static_cast<uint8_t>('a' + i % 26));
        syms.push_back(literal(data.back()));
    }
    const auto chunk = encode_chunk(flat_lengths(), syms);
    for (size_t cut = 256; cut < 300; ++cut) {
        SCOPED_TRACE(cut);
        auto r = run_chunk(std::vector<uint8_t>(chunk.begin(), chunk.begin() + static_cast<long>(cut)), 400, 0);
        ASSERT_TRUE(r.ok);
        EXPECT_GE(r.used, 260u);
        // Every symbol fully inside the input is right; 9 bits per symbol, 8 bits per byte.
        const size_t whole = cut > 260 ? std::min<size_t>(r.out.size(), ((cut - 256) * 8) / 9) : 0;
        EXPECT_TRUE(std::equal(r.out.begin(), r.out.begin() + static_cast<long>(whole), data.begin()));
        EXPECT_LE(r.out.size(), 400u);
    }
}

TEST(XpressHuffmanChunk, LongCodesAndAllSymbolsRoundTrip) {
    // Skewed statistics give codes up to 15 bits; the last literal lands on the last byte.
    std::mt19937 rng(77);
    std::geometric_distribution<int> geo(0.35);
    std::vector<uint8_t> data(200001);
    for (auto& b : data) b = static_cast<uint8_t>(std::min(geo(rng), 255));
    for (int i = 0; i < 256; ++i) data[static_cast<size_t>(i) * 700] = static_cast<uint8_t>(i);
    for (bool matches : {false, true}) {
        auto mam = make_mam(data, matches);
        ASSERT_TRUE(unwrap_container(mam));
        EXPECT_EQ(mam, data);
    }
    std::array<uint64_t, 512> freq{};
    for (auto b : data) ++freq[b];
    const auto l = huffman_lengths(freq);
    EXPECT_EQ(*std::max_element(l.begin(), l.end()), 15);
}

TEST(XpressHuffmanChunk, RandomMixesOfEverySymbolKindRoundTripOverSeveralChunks) {
    // Literals and matches in random order under skewed codes: offsets 1..7 (the pattern repeats
    // within one move), 8..15 and far ones; lengths up to 17 without escape, escaped byte and
    // word lengths; every chunk ends on a match running past its 64 KiB mark. Each chunk's
    // input length is found by decoding, so a wrong input position shows in the next chunk.
    std::mt19937 rng(2024);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::vector<uint8_t> data;
        std::vector<std::vector<uint8_t>> chunks;
        for (int c = 0; c < 3; ++c) {
            std::vector<coded_symbol> syms;
            const size_t chunk_end = data.size() + 65536;
            while (data.size() < chunk_end) {
                const unsigned kind = rng() % 16;
                if (data.size() < 16 || kind < 7) {
                    data.push_back(static_cast<uint8_t>(rng() % 40));
                    syms.push_back(literal(data.back()));
                    continue;
                }
                uint32_t offset = kind == 7 ? 1 + rng() % 7 : kind < 11 ? 8 + rng() % 8 : 16 + rng() % 65520;
                offset = std::min<uint32_t>(offset, static_cast<uint32_t>(data.size()));
                const uint32_t length = kind < 14 ? 3 + rng() % 15 : 18 + rng() % (kind == 14 ? 300 : 3000);
                syms.push_back(match(length, offset));
                for (uint32_t i = 0; i < length; ++i) data.push_back(data[data.size() - offset]);
            }
            std::array<uint64_t, 512> freq{};
            for (const auto& s : syms) ++freq[s.symbol];
            chunks.push_back(encode_chunk(huffman_lengths(freq), syms));
        }
        const auto mam = mam_from_chunks(static_cast<uint32_t>(data.size()), chunks);
        xpress_adt d;
        ASSERT_TRUE(decompress(d, mam));
        EXPECT_EQ(d.m_output, data);
    }
}
