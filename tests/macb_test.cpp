#include <gtest/gtest.h>

#include <vector>

#include "macb.h"

namespace {

constexpr uint64_t k_t1 = 130384964967891234ULL;  // 2014-03-05 12:34:56.7891234 UTC
constexpr uint64_t k_t2 = k_t1 + 10'000'000;
constexpr uint64_t k_t3 = k_t1 + 20'000'000;
constexpr uint64_t k_t4 = k_t1 + 30'000'000;

qn::macb_record labelled(uint64_t m, uint64_t a, uint64_t c, uint64_t b) {
    qn::macb_record r;
    const uint64_t times[4] = {m, a, c, b};
    const char* labels[4] = {"Last Modified", "Last Access", "Last Run", "Created"};
    for (int i = 0; i < 4; ++i) {
        r.times[i] = times[i];
        r.labels[i] = labels[i];
    }
    return r;
}

std::vector<qn::timeline_row> merge(qn::macb_record& r) {
    std::vector<qn::timeline_row> rows;
    qn::merge_macb(rows, r, qn::type_filetime);
    return rows;
}

}  // namespace

TEST(MacbMerge, AllFourEqualGiveOneRowNamingEveryLabel) {
    auto r = labelled(k_t1, k_t1, k_t1, k_t1);
    r.tag = 7;
    const auto rows = merge(r);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].macb, "MACB");
    EXPECT_EQ(rows[0].description, "Last Modified; Last Access; Last Run; Created");
    EXPECT_EQ(rows[0].time.filetime, k_t1);
    EXPECT_TRUE(rows[0].time.valid);
    EXPECT_EQ(rows[0].tag, 7);
}

TEST(MacbMerge, EqualPairsShareRowsInMacbOrder) {
    auto r = labelled(k_t1, k_t2, k_t3, k_t1);
    auto rows = merge(r);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].macb, "M..B");
    EXPECT_EQ(rows[0].description, "Last Modified; Created");
    EXPECT_EQ(rows[1].macb, ".A..");
    EXPECT_EQ(rows[1].description, "Last Access");
    EXPECT_EQ(rows[1].time.filetime, k_t2);
    EXPECT_EQ(rows[2].macb, "..C.");
    EXPECT_EQ(rows[2].time.filetime, k_t3);

    // A = B and C = M: ".A.B" joins from the A row; "M.C." from the M row.
    r = labelled(k_t1, k_t2, k_t1, k_t2);
    rows = merge(r);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].macb, "M.C.");
    EXPECT_EQ(rows[0].description, "Last Modified; Last Run");
    EXPECT_EQ(rows[1].macb, ".A.B");
    EXPECT_EQ(rows[1].description, "Last Access; Created");

    // C = B only: the row a run-once prefetch file gives for its last run.
    r = labelled(k_t1, k_t2, k_t3, k_t3);
    rows = merge(r);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].macb, "..CB");
    EXPECT_EQ(rows[2].description, "Last Run; Created");

    // All distinct: one row each.
    r = labelled(k_t1, k_t2, k_t3, k_t4);
    rows = merge(r);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3].macb, "...B");
    EXPECT_EQ(rows[3].description, "Created");
}

TEST(MacbMerge, TimesThatAreZeroOrNotValidTakeNoPart) {
    auto r = labelled(0, 0, 0, 0);
    EXPECT_TRUE(merge(r).empty());

    // Bit 63 set, the first second of 1970, and the year 3001 are not valid either.
    r = labelled(0x8000000000000001ULL, 116444736000000000ULL, 441796896000000000ULL, 0);
    EXPECT_TRUE(merge(r).empty());

    // M invalid and A = C: the first row belongs to A and carries C; B follows.
    r = labelled(0, k_t2, k_t2, k_t3);
    auto rows = merge(r);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].macb, ".AC.");
    EXPECT_EQ(rows[0].description, "Last Access; Last Run");
    EXPECT_EQ(rows[1].macb, "...B");

    // Two equal invalid times are not merged into a row with a made-up date.
    r = labelled(0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFFFFFFFFFFULL, k_t1, 0);
    rows = merge(r);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].macb, "..C.");
}

TEST(MacbMerge, ExtraTimesCountAsChangedAndJoinEqualRows) {
    auto r = labelled(k_t1, k_t2, k_t3, 0);
    r.extra_times = {k_t3, k_t4, k_t1};
    r.extra_labels = {"Extra C", "Extra alone", "Extra M"};
    r.extra_texts1 = {"x1", "y1", "z1"};
    r.extra_texts2 = {"x2", "y2", "z2"};
    const auto rows = merge(r);
    ASSERT_EQ(rows.size(), 4u);
    // Equal to M: "C" written once, the extra's label after M's.
    EXPECT_EQ(rows[0].macb, "M.C.");
    EXPECT_EQ(rows[0].description, "Last Modified; Extra M");
    EXPECT_EQ(rows[0].extra_text1, "z1");
    // Equal to C: it joins the C row after C's label and gets no row of its own.
    EXPECT_EQ(rows[2].macb, "..C.");
    EXPECT_EQ(rows[2].description, "Last Run; Extra C");
    EXPECT_EQ(rows[2].extra_text2, "x2");
    // Equal to nothing: its own row at the end.
    EXPECT_EQ(rows[3].macb, "..C.");
    EXPECT_EQ(rows[3].description, "Extra alone");
    EXPECT_EQ(rows[3].time.filetime, k_t4);
    EXPECT_EQ(rows[3].extra_text1, "y1");
    ASSERT_EQ(r.extra_used.size(), 3u);
    EXPECT_TRUE(r.extra_used[0] && r.extra_used[1] && r.extra_used[2]);

    // An extra equal to B alone turns the B row into "..CB", extra label first.
    auto b = labelled(0, 0, 0, k_t2);
    b.extra_times = {k_t2};
    b.extra_labels = {"Extra"};
    const auto brow = merge(b);
    ASSERT_EQ(brow.size(), 1u);
    EXPECT_EQ(brow[0].macb, "..CB");
    EXPECT_EQ(brow[0].description, "Extra; Created");

    // Lists shorter than extra_times are read as empty texts, never past their end.
    auto short_lists = labelled(0, 0, 0, 0);
    short_lists.extra_times = {k_t1, k_t2};
    const auto srows = merge(short_lists);
    ASSERT_EQ(srows.size(), 2u);
    EXPECT_EQ(srows[1].description, "");
}

TEST(MacbMerge, EmptyLabelUsesGenericLabelInBracketForm) {
    qn::macb_record r;
    r.generic_label = "File";
    r.times[0] = k_t1;
    auto rows = merge(r);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].description, "File [M...]");

    r.reset();
    r.generic_label = "File";
    r.times[0] = r.times[3] = k_t1;
    r.times[1] = k_t2;
    rows = merge(r);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].macb, "M..B");
    EXPECT_EQ(rows[0].description, "File [M..B]");
    EXPECT_EQ(rows[1].description, "File [.A..]");
}
