#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macb.h"

namespace {

constexpr uint64_t k_t1 = 130384964967891234ULL;  // 2014-03-05 12:34:56.7891234 UTC
constexpr uint64_t k_t2 = k_t1 + 10'000'000, k_t3 = k_t1 + 20'000'000, k_t4 = k_t1 + 30'000'000;
constexpr uint64_t k_never = 0xFFFFFFFFFFFFFFFFULL;

qn::macb_record labelled(uint64_t m, uint64_t a, uint64_t c, uint64_t b) {
    qn::macb_record r;
    const uint64_t times[4] = {m, a, c, b};
    const char* labels[4] = {"Last Modified", "Last Access", "Last Run", "Created"};
    for (int i = 0; i < 4; ++i) r.times[i] = times[i], r.labels[i] = labels[i];
    return r;
}

// Each row as "MACB flags|description|100 ns offset from k_t1".
std::vector<std::string> merged(qn::macb_record& r) {
    std::vector<qn::timeline_row> rows;
    qn::merge_macb(rows, r, qn::type_filetime);
    std::vector<std::string> texts;
    for (const auto& row : rows) {
        EXPECT_TRUE(row.time.valid);
        texts.push_back(row.macb + "|" + row.description + "|" + std::to_string(row.time.filetime - k_t1));
    }
    return texts;
}

}  // namespace

TEST(MacbMerge, EqualTimesShareRowsInMacbOrderAndInvalidTimesTakeNoPart) {
    struct merge_case {
        uint64_t m, a, c, b;
        std::vector<std::string> rows;
    };
    const merge_case cases[] = {
        {k_t1, k_t1, k_t1, k_t1, {"MACB|Last Modified; Last Access; Last Run; Created|0"}},
        {k_t1, k_t2, k_t3, k_t1, {"M..B|Last Modified; Created|0", ".A..|Last Access|10000000", "..C.|Last Run|20000000"}},
        // A = B and C = M: ".A.B" joins from the A row, "M.C." from the M row.
        {k_t1, k_t2, k_t1, k_t2, {"M.C.|Last Modified; Last Run|0", ".A.B|Last Access; Created|10000000"}},
        // C = B only: the row a run-once prefetch file gives for its last run.
        {k_t1, k_t2, k_t3, k_t3, {"M...|Last Modified|0", ".A..|Last Access|10000000", "..CB|Last Run; Created|20000000"}},
        {k_t1, k_t2, k_t3, k_t4,
         {"M...|Last Modified|0", ".A..|Last Access|10000000", "..C.|Last Run|20000000", "...B|Created|30000000"}},
        {0, 0, 0, 0, {}},
        // Bit 63 set, the first second of 1970, and the year 3001 are not valid either.
        {0x8000000000000001ULL, 116444736000000000ULL, 441796896000000000ULL, 0, {}},
        // M invalid and A = C: the first row belongs to A and carries C.
        {0, k_t2, k_t2, k_t3, {".AC.|Last Access; Last Run|10000000", "...B|Created|20000000"}},
        // Two equal invalid times are not merged into a row with a made-up date.
        {k_never, k_never, k_t1, 0, {"..C.|Last Run|0"}},
    };
    for (const auto& c : cases) {
        auto r = labelled(c.m, c.a, c.c, c.b);
        EXPECT_EQ(merged(r), c.rows);
    }
    auto tagged = labelled(k_t1, k_t1, k_t1, k_t1);
    tagged.tag = 7;
    std::vector<qn::timeline_row> rows;
    qn::merge_macb(rows, tagged, qn::type_filetime);
    EXPECT_EQ(rows.at(0).tag, 7);
}

TEST(MacbMerge, ExtraTimesCountAsChangedAndJoinEqualRows) {
    auto r = labelled(k_t1, k_t2, k_t3, 0);
    r.extra_times = {k_t3, k_t4, k_t1};
    r.extra_labels = {"Extra C", "Extra alone", "Extra M"};
    r.extra_texts1 = {"x1", "y1", "z1"};
    r.extra_texts2 = {"x2", "y2", "z2"};
    std::vector<qn::timeline_row> rows;
    qn::merge_macb(rows, r, qn::type_filetime);
    // Equal to M: "C" written once, the extra's label after M's. Equal to C: joins the C row.
    // Equal to nothing: its own row at the end.
    std::vector<std::string> texts;
    for (const auto& row : rows) texts.push_back(row.macb + "|" + row.description + "|" + row.extra_text1 + row.extra_text2);
    EXPECT_EQ(texts, (std::vector<std::string>{"M.C.|Last Modified; Extra M|z1z2", ".A..|Last Access|",
                                               "..C.|Last Run; Extra C|x1x2", "..C.|Extra alone|y1y2"}));
    EXPECT_EQ(rows.at(3).time.filetime, k_t4);
    EXPECT_EQ(r.extra_used, (std::vector<uint8_t>{1, 1, 1}));

    // An extra equal to B alone turns the B row into "..CB", extra label first.
    auto b = labelled(0, 0, 0, k_t2);
    b.extra_times = {k_t2};
    b.extra_labels = {"Extra"};
    EXPECT_EQ(merged(b), std::vector<std::string>{"..CB|Extra; Created|10000000"});

    // Lists shorter than extra_times are read as empty texts, never past their end.
    auto short_lists = labelled(0, 0, 0, 0);
    short_lists.extra_times = {k_t1, k_t2};
    EXPECT_EQ(merged(short_lists), (std::vector<std::string>{"..C.||0", "..C.||10000000"}));
}

TEST(MacbMerge, EmptyLabelUsesGenericLabelInBracketForm) {
    qn::macb_record r;
    r.generic_label = "File";
    r.times[0] = k_t1;
    EXPECT_EQ(merged(r), std::vector<std::string>{"M...|File [M...]|0"});
    r.reset();
    r.generic_label = "File";
    r.times[0] = r.times[3] = k_t1;
    r.times[1] = k_t2;
    EXPECT_EQ(merged(r), (std::vector<std::string>{"M..B|File [M..B]|0", ".A..|File [.A..]|10000000"}));
}
