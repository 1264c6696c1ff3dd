// Run count, last run time and earlier run times across the file-information layouts.
#include <gtest/gtest.h>

#include "prefetch_sections.h"
#include "prefetch_test_support.h"

using namespace test_support;

namespace {

// Versions 26, 30 and 31 keep eight run-time slots (FILETIME) at 0x80, 0x88, ..., 0xB8.
std::vector<uint8_t> image_with_slots(uint32_t version, std::initializer_list<uint64_t> slots) {
    std::vector<uint8_t> image = make_image(version);
    size_t at = 0x80;
    for (uint64_t slot : slots) {
        put64(image, at, slot);
        at += 8;
    }
    return image;
}

}  // namespace

// Windows normally writes slot 1 as the latest run and the others in descending order, but a
// file can hold them in any order. The last run time is the largest slot; slot 1, when it is not
// that largest slot, is one of the earlier runs and must be reported with them.
TEST(FileInformation, RunTimeSlotsOutOfOrderKeepEveryRun) {
    std::vector<uint8_t> image = image_with_slots(26, {5, 9, 0, 0, 0, 0, 0, 0});
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.last_run_time, 9u);
    EXPECT_EQ(ctx.prev_run_times, (std::set<uint64_t>{5, 9}));

    // In order: slot 1 is the last run and is not repeated among the earlier ones.
    image = image_with_slots(26, {9, 5, 3, 0, 0, 0, 0, 0});
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.last_run_time, 9u);
    EXPECT_EQ(ctx.prev_run_times, (std::set<uint64_t>{3, 5}));

    // Equal slots collapse; slot 1 equal to the largest stays out.
    image = image_with_slots(31, {7, 7, 4, 4, 0, 0, 0, 2});
    put32(image, 0x54, 0x128);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.last_run_time, 7u);
    EXPECT_EQ(ctx.prev_run_times, (std::set<uint64_t>{2, 4, 7}));

    // The largest value compares as unsigned.
    image = image_with_slots(30, {1, 0x8000000000000000ULL, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.last_run_time, 0x8000000000000000ULL);
    EXPECT_EQ(max_run_time(qn::byte_view(image)), 0x8000000000000000ULL);
    EXPECT_EQ(ctx.prev_run_times, (std::set<uint64_t>{1, 0x8000000000000000ULL}));
}

TEST(FileInformation, MetricsOffsetSelectsTheVersion30And31Layout) {
    for (uint32_t version : {30u, 31u}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> image = image_with_slots(version, {40, 30, 20, 0, 0, 0, 0, 0});
        put32(image, 0xC8, 11);
        put32(image, 0xD0, 22);
        runtrail_user_context ctx;

        put32(image, 0x54, 0x128);
        ASSERT_TRUE(parse(image, ctx));
        EXPECT_EQ(ctx.run_count, 11u);
        EXPECT_EQ(ctx.last_run_time, 40u);

        put32(image, 0x54, 0x130);
        ASSERT_TRUE(parse(image, ctx));
        EXPECT_EQ(ctx.run_count, 22u);
        EXPECT_EQ(ctx.last_run_time, 40u);

        // Unknown layout: no run count or last run, but the earlier runs are still there.
        put32(image, 0x54, 0x120);
        ASSERT_TRUE(parse(image, ctx));
        EXPECT_EQ(ctx.run_count, 0u);
        EXPECT_EQ(ctx.last_run_time, 0u);
        EXPECT_EQ(ctx.prev_run_times, (std::set<uint64_t>{20, 30}));
    }
}

TEST(FileInformation, OlderAndUnknownVersions) {
    // Version 17: FILETIME at 0x78, count at 0x90; the slot area means nothing there.
    std::vector<uint8_t> image = image_with_slots(17, {1, 2, 3, 4, 5, 6, 7, 8});
    put64(image, 0x78, 1234);
    put32(image, 0x90, 6);
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.last_run_time, 1234u);
    EXPECT_EQ(ctx.run_count, 6u);
    EXPECT_TRUE(ctx.prev_run_times.empty());

    // Version 23: FILETIME at 0x80, count at 0x98.
    put32(image, 0, 23);
    put32(image, 0x98, 9);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.last_run_time, 1u);
    EXPECT_EQ(ctx.run_count, 9u);
    EXPECT_TRUE(ctx.prev_run_times.empty());

    // Any other version: accepted, with no run information at all.
    for (uint32_t version : {0u, 29u, 32u}) {
        put32(image, 0, version);
        ASSERT_TRUE(parse(image, ctx));
        EXPECT_EQ(ctx.run_count, 0u);
        EXPECT_EQ(ctx.last_run_time, 0u);
        EXPECT_TRUE(ctx.prev_run_times.empty());
        EXPECT_EQ(ctx.source_label, "Prefetch");
    }
}

TEST(FileInformation, RecordedFileSizeMustExceed227) {
    std::vector<uint8_t> image = image_with_slots(26, {50, 40, 0, 0, 0, 0, 0, 0});
    put32(image, 0xD0, 3);
    uint64_t last = 99;
    uint32_t count = 99;
    put32(image, 0x0C, 227);
    EXPECT_FALSE(read_file_information(qn::byte_view(image), last, count));
    EXPECT_EQ(last, 0u);
    EXPECT_EQ(count, 0u);
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));  // still reported
    EXPECT_EQ(ctx.run_count, 0u);
    EXPECT_EQ(ctx.last_run_time, 0u);
    EXPECT_EQ(ctx.prev_run_times, (std::set<uint64_t>{40}));

    put32(image, 0x0C, 228);
    EXPECT_TRUE(read_file_information(qn::byte_view(image), last, count));
    EXPECT_EQ(last, 50u);
    EXPECT_EQ(count, 3u);

    image[4] = 'X';
    EXPECT_FALSE(read_file_information(qn::byte_view(image), last, count));
    EXPECT_FALSE(read_file_information(qn::byte_view(), last, count));
}
