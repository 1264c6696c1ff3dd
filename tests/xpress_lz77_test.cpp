#include <gtest/gtest.h>

#include <random>

#include "container.h"
#include "xpress_adt.h"
#include "xpress_lz77.h"
#include "xpress_test_encoder.h"

namespace {

using xpress_test::lz_item;

lz_item lit(char c) { return {false, static_cast<uint8_t>(c), 0, 0}; }
lz_item mat(uint32_t len, uint32_t off) { return {true, 0, len, off}; }

struct block_run {
    size_t consumed;
    uint32_t capacity;
    std::vector<uint8_t> out;
};
block_run run_block(const std::vector<uint8_t>& block, uint32_t capacity = 65536) {
    block_run r{0, capacity, std::vector<uint8_t>(capacity, 0xEE)};
    r.consumed = decode_xpress_block(r.out.data(), r.capacity, block.data(), block.size());
    return r;
}

}  // namespace

TEST(XpressBlock, LengthFormsAndSharedHalfByte) {
    // Lengths 15 and 19 both escape to a half-byte; the two share one byte (5 low, 9 high).
    std::vector<lz_item> items = {lit('a'), lit('b'), mat(15, 2), mat(19, 1), mat(303, 3), mat(25, 4), mat(3, 1)};
    const auto block = xpress_test::make_xpress_block(items, 0);
    // data: flags(4) 'a' 'b' word(2) nibble-byte word(2) word(2) 0xFF 0xFF word-300 ...
    ASSERT_GE(block.size(), 32u + 9u);
    EXPECT_EQ(block[32 + 4 + 2 + 2], 0x95);  // low nibble 5 for length 15, high nibble 9 for 19
    const auto r = run_block(block, 4096);
    std::string expect = "ab";
    auto copy = [&](size_t len, size_t off) {
        for (size_t i = 0; i < len; ++i) expect.push_back(expect[expect.size() - off]);
    };
    copy(15, 2);
    copy(19, 1);
    copy(303, 3);
    copy(25, 4);
    copy(3, 1);
    ASSERT_GT(r.consumed, 0u);
    EXPECT_EQ(r.capacity, 4096u);
    EXPECT_EQ(std::string(r.out.begin(), r.out.begin() + static_cast<long>(expect.size())), expect);
    EXPECT_TRUE(std::all_of(r.out.begin() + static_cast<long>(expect.size()), r.out.end(), [](uint8_t b) { return b == 0; }));
    // The 16-bit form: 255 marker then the length minus 3 (300).
    const uint8_t word_form[] = {0xFF, 0x2C, 0x01};
    const auto it = std::search(block.begin(), block.end(), std::begin(word_form), std::end(word_form));
    EXPECT_NE(it, block.end());
}

TEST(XpressBlock, StoredBlockAndHeaderChecks) {
    std::vector<uint8_t> raw(65536);
    std::mt19937 rng(1);
    for (auto& b : raw) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> block = {0x81, 0x81, 'x', 'p', 'r', 'e', 's', 's', 15};
    xpress_test::put_u32(block, (65536 - 1) << 2);  // compressed size == declared size: stored
    block.resize(32, 0);
    block.insert(block.end(), raw.begin(), raw.end());
    auto r = run_block(block);
    EXPECT_EQ(r.consumed, 65536u);
    EXPECT_EQ(r.out, raw);
    xpress_adt d;
    ASSERT_TRUE(decompress(d, block));
    EXPECT_EQ(d.m_output, raw);

    // Declared size above the capacity, and a wrong signature, fail.
    r = run_block(block, 4096);
    EXPECT_EQ(r.consumed, 0u);
    auto wrong = block;
    wrong[1] = 0x80;
    EXPECT_EQ(run_block(wrong).consumed, 0u);
    // A compressed size past the end of the input is cut to the input.
    auto short_block = block;
    short_block.resize(32 + 1000);
    r = run_block(short_block);
    EXPECT_GT(r.consumed, 0u);
    EXPECT_LE(r.consumed, 1000u);
}

TEST(XpressBlock, BadMatchesAndTruncationStopAtTheLastCompleteItem) {
    // Offset 3 with only two bytes written: stops before the match, nothing read outside.
    auto block = xpress_test::make_xpress_block({lit('a'), lit('b'), mat(5, 3), lit('c')}, 0);
    auto r = run_block(block, 4096);
    EXPECT_EQ(r.consumed, 4u + 2u);
    EXPECT_EQ(r.out[0], 'a');
    EXPECT_EQ(r.out[1], 'b');
    EXPECT_EQ(r.out[2], 0);

    // Cut in the middle of an item: every cut decodes only whole items, never past the input.
    std::vector<lz_item> items;
    for (int i = 0; i < 100; ++i) items.push_back(i % 3 ? lit(static_cast<char>('a' + i % 26)) : mat(3 + i * 7, 1 + i % 2));
    items.front() = lit('x');
    items[1] = lit('y');
    const auto full = xpress_test::make_xpress_block(items, 15);
    const auto ref = run_block(full);
    ASSERT_GT(ref.consumed, 0u);
    for (size_t cut = 13; cut < full.size(); cut += 3) {
        std::vector<uint8_t> t(full.begin(), full.begin() + static_cast<long>(cut));
        const auto p = run_block(t);
        EXPECT_LE(p.consumed, cut > 32 ? cut - 32 : 0);
        EXPECT_EQ(p.out.size(), 65536u);
    }
    // Random bytes after a valid header never crash.
    std::mt19937 rng(4);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> t(full.begin(), full.begin() + 32);
        t.resize(32 + rng() % 3000);
        for (size_t i = 32; i < t.size(); ++i) t[i] = static_cast<uint8_t>(rng());
        run_block(t);
    }
}
