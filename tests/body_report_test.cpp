#include <gtest/gtest.h>

#include <sstream>

#include "body_report.h"
#include "report_writers.h"
#include "writer_test_support.h"

using namespace writer_test;

namespace {

constexpr const char* k_body_header =
    "md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time";
constexpr const char* k_app = "; app run: \\VOLUME{01d0}\\WINDOWS\\SYSTEM32\\CALC.EXE";

std::string run_body(runtrail_user_context& ctx) {
    std::ostringstream out;
    EXPECT_EQ(write_body_report(out, ctx), 1);
    return out.str();
}

}  // namespace

TEST(BodyReport, MainLineCarriesAccessModifyRunAndCreatedSeconds) {
    runtrail_user_context ctx;
    fill_record(ctx);
    set_body_options(ctx);
    ctx.separator = ",";  // -csv_separator does not change the body file's separator
    auto lines = lines_of(run_body(ctx));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], k_body_header);
    // Run once: crtime is the last run time.
    EXPECT_EQ(lines[1], std::string("0|CALC.EXE-77FDF17F.pf (Win10 Prefetch); run count: 1") + k_app +
                            "|0||0|0|4242|1394022956|1394022901|1394022896|1394022896");

    // The next file adds no header; run count 3 puts the change time in crtime.
    ctx.run_count = 3;
    lines = lines_of(run_body(ctx));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::string("0|CALC.EXE-77FDF17F.pf (Win10 Prefetch); run count: 3") + k_app +
                            "|0||0|0|4242|1394022956|1394022901|1394022896|1393936496");

    ctx.out_bodyfile = false;
    std::ostringstream out;
    EXPECT_EQ(write_body_report(out, ctx), 0);
    EXPECT_TRUE(out.str().empty());
}

TEST(BodyReport, EarlierRunsCarryTheChangeTimeInCrtimeWhateverTheRunCount) {
    runtrail_user_context ctx;
    fill_record(ctx);
    set_body_options(ctx);
    ctx.header_pending = false;
    ctx.prev_run_times = {k_run - 20'000'000, k_run - 10'000'000};
    const auto lines = lines_of(run_body(ctx));
    ASSERT_EQ(lines.size(), 3u);
    const std::string prev_name = "0|CALC.EXE-77FDF17F.pf (Win10 Prefetch); not last time run - but prevtime";
    EXPECT_EQ(lines[1], prev_name + k_app + "|0||0|0|4242|1394022894|1394022894|1394022894|1393936496");
    EXPECT_EQ(lines[2], prev_name + k_app + "|0||0|0|4242|1394022895|1394022895|1394022895|1393936496");

    ctx.show_prev_times = false;
    EXPECT_EQ(lines_of(run_body(ctx)).size(), 1u);
}

TEST(BodyReport, TimesWithoutAPrintableDateAreZeroNeverAWrappedValue) {
    runtrail_user_context ctx;
    fill_record(ctx);
    set_body_options(ctx);
    ctx.header_pending = false;
    ctx.last_run_time = 0;
    ctx.prefetch_file_times[k_file_time_modified] = 116444735990000000ULL;  // 1969-12-31 23:59:59
    ctx.prefetch_file_times[k_file_time_accessed] = 1;                      // 1601-01-01
    auto lines = lines_of(run_body(ctx));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(split(lines[0], '|').size(), 11u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 8), "|0|0|0|0") << lines[0];

    // Bit 63 set, the year 3001, and the first second of 1970 are no time either; one second
    // later is 1.
    ctx.prefetch_file_times[k_file_time_modified] = 0x8000000000000000ULL;
    ctx.prefetch_file_times[k_file_time_accessed] = 441796896000000000ULL;
    ctx.last_run_time = 116444736009999999ULL;
    ctx.prefetch_file_times[k_file_time_changed] = 116444736010000000ULL;
    ctx.run_count = 4;
    lines = lines_of(run_body(ctx));
    EXPECT_EQ(lines[0].substr(lines[0].size() - 8), "|0|0|0|1") << lines[0];

    // The record's own conversion, slot by slot.
    body_record record;
    const uint64_t filetimes[4] = {k_run, 116444735999999999ULL, 0xFFFFFFFFFFFFFFFFULL, 94354848000000000ULL};
    record.set_times(filetimes);
    EXPECT_EQ(record.times[0], 1394022896);
    EXPECT_EQ(record.times[1], 0);
    EXPECT_EQ(record.times[2], 0);
    EXPECT_EQ(record.times[3], 0);  // 1900-01-01: a valid date, but no Unix seconds
    EXPECT_EQ(record.time_kind, qn::type_unix_time);
}

TEST(BodyReport, NamesWithBarsAndLineBreaksStayOneElevenFieldLine) {
    runtrail_user_context ctx;
    fill_record(ctx);
    set_body_options(ctx);
    ctx.header_pending = false;
    ctx.target_path = "\\A|B\\C\r\nD\rE\nF.EXE";
    ctx.file_name = "x|y\n.pf";
    ctx.source_label = "Win10|\rPrefetch";
    ctx.prev_run_times = {k_run - 10'000'000};
    const std::string output = run_body(ctx);
    const auto lines = lines_of(output);
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        EXPECT_EQ(split(line, '|').size(), 11u) << line;
    }
    EXPECT_NE(lines[0].find("app run: \\A;B\\C"), std::string::npos) << lines[0];
    if (line_break_marker_ready()) {
        // The shared marker leaves a lone CR beside an LF elsewhere; the body name marks it too.
        EXPECT_EQ(split(lines[0], '|')[1],
                  "x;y[LF].pf (Win10;[CR]Prefetch); run count: 1; app run: \\A;B\\C[CRLF]D[CR]E[LF]F.EXE");
        EXPECT_EQ(body_name_text("a\r\nb"), "a[CRLF]b");
    }
    EXPECT_EQ(body_name_text("a|b\nc\rd").find_first_of("|\r\n"), std::string::npos);
}
