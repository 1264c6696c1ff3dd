#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "report_format.h"
#include "report_writers.h"
#include "runtrail_user_context.h"
#include "writer_fixtures.h"

using namespace writer_fixtures;

namespace {

std::string report_of(runtrail_user_context& ctx) {
    std::ostringstream out;
    EXPECT_EQ(write_text_report(out, ctx), 1);
    return out.str();
}

struct text_context : runtrail_user_context {
    text_context() {
        configure(*this, {.text_report = true});
        fill_record(*this);
    }
};

}  // namespace

TEST(TextReport, EdgeCases) {
    {
        SCOPED_TRACE("run once, no earlier runs, invalid last run, serial 0, empty directory list");
        text_context ctx;
        ctx.run_count = 1;
        ctx.prev_run_times.clear();
        ctx.last_run_time = 0x8000000000000001ULL;  // bit 63: not a time
        ctx.volume_serials = {0};
        ctx.volume_times = {0};
        ctx.volume_dirs = {{}};
        const std::string report = report_of(ctx);
        EXPECT_NE(report.find("\naccessed:        \nstats changed   1970-01-01 00:00:01\n"), std::string::npos);
        EXPECT_NE(report.find("target file:    CMD.EXE, run 1 times\n"), std::string::npos);
        EXPECT_NE(report.find("\nLast run:        \npath:"), std::string::npos);
        EXPECT_EQ(report.find("Prev run:"), std::string::npos);
        EXPECT_NE(report.find("time created:  \nserial num:   0000-0000\n\n\n"), std::string::npos);
        EXPECT_EQ(report.substr(report.size() - 2), "\n\n");
    }
    {
        SCOPED_TRACE("earlier runs and target path hidden; no volumes");
        text_context ctx;
        ctx.show_prev_times = ctx.show_target_path = false;
        ctx.volume_paths.clear(), ctx.volume_serials.clear(), ctx.volume_times.clear(), ctx.volume_dirs.clear();
        const std::string report = report_of(ctx);
        EXPECT_EQ(report.find("Prev run:"), std::string::npos);
        EXPECT_EQ(report.find("\npath:"), std::string::npos);
        EXPECT_TRUE(report.ends_with("\n --------- directories mapped --------- \n\n\n"));
    }
    {
        SCOPED_TRACE("1000 and more modules; a base left on the stream must not leak into the numbers");
        text_context ctx;
        ctx.modules.clear();
        for (uint64_t i = 0; i < 1005; ++i) ctx.modules[0x1000 + 2 * i] = "M" + std::to_string(i + 1);
        ctx.run_count = 4096;
        std::ostringstream out;
        out << std::hex;
        ASSERT_EQ(write_text_report(out, ctx), 1);
        for (const char* line : {"\n001 : M1\n", "\n099 : M99\n", "\n999 : M999\n", "\n1000 : M1000\n",
                                 "\n1005 : M1005\n\n --------- directories", "run 4096 times"})
            EXPECT_NE(out.str().find(line), std::string::npos) << line;
    }
    {
        SCOPED_TRACE("a crafted name cannot add report lines");
        text_context ctx;
        ctx.exe_name = "X.EXE\nLast run:       1999-01-01";
        ctx.modules[300] = "EVIL\r\n002 : FAKE";
        const std::string report = report_of(ctx);
        EXPECT_NE(report.find("target file:    X.EXE[LF]Last run:       1999-01-01, run 3 times\n"), std::string::npos);
        EXPECT_NE(report.find("003 : EVIL[CRLF]002 : FAKE\n"), std::string::npos);
        EXPECT_EQ(lines_of(report).size(), 27u);
    }
    for (bool runtrail_user_context::*other : {&runtrail_user_context::out_csv, &runtrail_user_context::out_bodyfile,
                                               &runtrail_user_context::out_csvl2t}) {
        text_context ctx;  // another output form selected: nothing written
        ctx.*other = true;
        std::ostringstream out;
        EXPECT_EQ(write_text_report(out, ctx), 0);
        EXPECT_EQ(out.str(), "");
    }
}

TEST(TextReport, DateAndTimePatternsApply) {
    text_context ctx;
    ctx.date_format = "mm/dd/yyyy";
    ctx.time_format = "hh:mm:ss.xxxxxxx";
    const std::string report = report_of(ctx);
    EXPECT_NE(report.find("modified:       03/05/2014 12:34:56\n"), std::string::npos);
    EXPECT_NE(report.find("Last run:       03/05/2014 12:34:56.7891234\n"), std::string::npos);
    EXPECT_NE(report.find("time created: 03/05/2014 12:34:56.7891234\n"), std::string::npos);
}

TEST(ReportFormat, SerialsAndTimeTexts) {
    for (const auto& [serial, text] : {std::pair<uint32_t, const char*>{0, "0000-0000"}, {0x1A2B3C4D, "1a2b-3c4d"},
                                       {0xFFFFFFFF, "ffff-ffff"}, {0x000F0001, "000f-0001"}})
        EXPECT_EQ(format_volume_serial(serial), text);
    runtrail_user_context ctx;
    EXPECT_EQ(format_time_text(ctx, k_2014), "2014-03-05 12:34:56.789");
    EXPECT_EQ(format_time_text(ctx, 0), " ");
}

TEST(TextReport, GoldenReportsOfRealFiles) {
    // Expected reports written from the files' bytes: one of each layout (XP, Vista/7, 8); between
    // them they hold every label of the report.
    const std::pair<const char*, const char*> cases[] = {
        {"Win2k3/CMD.EXE-087B4001.pf", "golden/CMD.EXE-087B4001.txt"},
        {"Win7/CMD.EXE-4A81B364.pf", "golden/CMD.EXE-4A81B364.win7.txt"},
        {"Win8x/CMD.EXE-4A81B364.pf", "golden/CMD.EXE-4A81B364.win8.txt"},
    };
    for (const auto& [input, golden] : cases) {
        SCOPED_TRACE(input);
        runtrail_user_context ctx;
        configure(ctx, {.text_report = true});
        ASSERT_TRUE(writer_test::load_data_file(ctx, input, writer_test::k_golden_times));
        const std::string expected = writer_test::read_text(std::filesystem::path(RUNTRAIL_TEST_DATA) / golden);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(report_of(ctx), expected);
    }
}
