#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "l2t_report.h"
#include "report_writers.h"
#include "writer_test_support.h"

using namespace writer_test;

namespace {

constexpr const char* k_header =
    "date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra";
constexpr const char* k_tail =
    "CALC.EXE-77FDF17F.pf [CALC.EXE executed],Module list: CALC.EXE; NTDLL.DLL,2,"
    "/evidence/Prefetch/CALC.EXE-77FDF17F.pf,,Run count: 1,runtrail (kelvane),"
    "Volume name; serial#; date: [\\VOLUME{01d0}; 1a2b-3c4d; 2014-03-04 12:34:56.789]";

std::string run_l2t(runtrail_user_context& ctx) {
    std::ostringstream out;
    EXPECT_EQ(write_l2t_report(out, ctx), 1);
    return out.str();
}

struct l2t_context : runtrail_user_context {
    l2t_context() {
        fill_record(*this);
        set_l2t_options(*this);
    }
};

// Every line has 17 fields and holds neither CR nor (inside) LF.
void expect_well_formed(const std::string& output, char separator) {
    for (const auto& line : lines_of(output)) {
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        EXPECT_EQ(split(line, separator).size(), 17u) << line;
    }
}

}  // namespace

TEST(L2tReport, RunOnceGivesThreeLinesWithLastRunAndCreatedTogether) {
    l2t_context ctx;
    std::vector<std::string> expected = {k_header, "2014-03-05, 12:34:56.789,UTC,..CB,Last Run; Created,,,",
                                         "2014-03-05, 12:35:01.889,UTC,M...,Last Modified,,,",
                                         "2014-03-05, 12:35:56.789,UTC,.A..,Last Access,,,"};
    for (size_t i = 1; i < expected.size(); ++i)
        expected[i] = expected[i].insert(34, "PREFETCH,Win10 Prefetch,") + k_tail;
    EXPECT_EQ(lines_of(run_l2t(ctx)), expected);

    // The header is written once per run.
    EXPECT_EQ(lines_of(run_l2t(ctx)), std::vector<std::string>(expected.begin() + 1, expected.end()));

    // Not the selected output: nothing written.
    ctx.out_csvl2t = false;
    std::ostringstream out;
    EXPECT_EQ(write_l2t_report(out, ctx), 0);
    EXPECT_EQ(out.str(), "");
}

TEST(L2tReport, EarlierRunsGetOneLineEachAndThePluralFollowsTheRunCount) {
    l2t_context ctx;
    ctx.user_name = "examiner";
    ctx.host_name = "lab1";
    ctx.run_count = 5;
    ctx.prev_run_times = {k_run - 40'000'000, k_run - 30'000'000, k_run - 20'000'000, k_run - 10'000'000};
    const auto lines = lines_of(run_l2t(ctx));
    // Header, M, A, C (B is the changed time, a day earlier), B, then four earlier runs.
    ASSERT_EQ(lines.size(), 9u);
    const std::string notes =
        "Run count: 5 [Previous times run: 2014-03-05 12:34:52.789; 2014-03-05 12:34:53.789; "
        "2014-03-05 12:34:54.789; 2014-03-05 12:34:55.789]";
    EXPECT_EQ(lines[1], "2014-03-04, 12:34:56.789,UTC,...B,PREFETCH,Win10 Prefetch,Created,examiner,lab1,"
                        "CALC.EXE-77FDF17F.pf [CALC.EXE executed],Module list: CALC.EXE; NTDLL.DLL,2,"
                        "/evidence/Prefetch/CALC.EXE-77FDF17F.pf,," +
                            notes + ",runtrail (kelvane),Volume name; serial#; date: [\\VOLUME{01d0}; 1a2b-3c4d; "
                                    "2014-03-04 12:34:56.789]");
    EXPECT_EQ(split(lines[2], ',')[3], "..C.");
    EXPECT_EQ(lines[5], "2014-03-05, 12:34:52.789,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,examiner,"
                        "lab1,CALC.EXE-77FDF17F.pf [CALC.EXE executed],Modules for last run are at record w/ same "
                        "name at time: 2014-03-05 12:34:56.789,2,/evidence/Prefetch/CALC.EXE-77FDF17F.pf,,Not last "
                        "time run  but a previous time run.,runtrail (kelvane),");
    EXPECT_EQ(split(lines[8], ',')[1], " 12:34:55.789");
    expect_well_formed(run_l2t(ctx), ',');

    // Run count 2: singular.
    ctx.run_count = 2;
    ctx.prev_run_times = {k_run - 10'000'000};
    const auto two = lines_of(run_l2t(ctx));
    EXPECT_EQ(split(two[0], ',')[14], "Run count: 2 [Previous time run: 2014-03-05 12:34:55.789]");

    // Without show_prev_times: no earlier-run lines and a plain run count.
    ctx.show_prev_times = false;
    const auto plain = lines_of(run_l2t(ctx));
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(split(plain[0], ',')[14], "Run count: 2");
}

TEST(L2tReport, ModuleListShortNamesOnceInCaseInsensitiveOrderUnlessVerbose) {
    l2t_context ctx;
    ctx.modules = {{0x100, "\\VOLUME{1}\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
                   {0x200, "\\VOLUME{1}\\WINDOWS\\SYSWOW64\\ntdll.dll"},
                   {0x300, "b.dll"},
                   {0x400, "\\VOLUME{1}\\APP\\Ab,c.DLL"}};
    auto lines = lines_of(run_l2t(ctx));
    ASSERT_GE(lines.size(), 2u);
    // The comma inside a name becomes a space; the first spelling of NTDLL.DLL is kept.
    EXPECT_EQ(split(lines[1], ',')[10], "Module list: Ab c.DLL; b.dll; NTDLL.DLL");

    ctx.verbose = true;
    lines = lines_of(run_l2t(ctx));
    EXPECT_EQ(split(lines[0], ',')[10],
              "Module list: \\VOLUME{1}\\WINDOWS\\SYSTEM32\\NTDLL.DLL; \\VOLUME{1}\\WINDOWS\\SYSWOW64\\ntdll.dll; "
              "b.dll; \\VOLUME{1}\\APP\\Ab c.DLL");

    ctx.modules.clear();
    ctx.volume_paths.clear(), ctx.volume_times.clear(), ctx.volume_serials.clear(), ctx.volume_dirs.clear();
    const auto fields = split(lines_of(run_l2t(ctx))[0], ',');
    EXPECT_EQ(fields[10] + fields[16], "");
}

TEST(L2tReport, TimeFieldsFollowPaddingAndPairing) {
    l2t_context ctx;
    ctx.compact_fields = true, ctx.pad_separator = false;  // -no_whitespace
    auto lines = lines_of(run_l2t(ctx));
    EXPECT_EQ(lines[1].substr(0, 35), "2014-03-05,12:34:56.789,UTC,..CB,PR");

    ctx.compact_fields = false;
    ctx.pair_datetime = true;
    ctx.header_pending = true;
    compile_formats(ctx);
    lines = lines_of(run_l2t(ctx));
    EXPECT_EQ(lines[0].substr(0, 24), "date/time,timezone,MACB,");
    EXPECT_EQ(lines[1].substr(0, 34), " 2014-03-05 12:34:56.789,UTC,..CB,");
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(split(lines[i], ',').size(), 16u) << lines[i];
}

TEST(L2tReport, TimesThatAreNotValidGiveNoLineAndNoMadeUpDate) {
    l2t_context ctx;
    ctx.prefetch_file_times[k_file_time_modified] = 0;
    ctx.prefetch_file_times[k_file_time_accessed] = 0x8000000000000000ULL;
    ctx.last_run_time = 441796896000000000ULL;  // 3001-01-01: not valid
    ctx.run_count = 3;
    ctx.prefetch_file_times[k_file_time_changed] = 116444736000000000ULL;  // first second of 1970
    ctx.prev_run_times = {0xFFFFFFFFFFFFFFFFULL};
    EXPECT_EQ(run_l2t(ctx), std::string(k_header) + "\n");  // the header alone
}

TEST(L2tReport, HostileTextsNeverSplitALineOrAddAField) {
    l2t_context ctx;
    ctx.file_path = "/evidence/a,b\nc\rd\r\ne.pf";
    ctx.file_name = "a,b\nc\rd\r\ne.pf";
    ctx.exe_name = "X,\r\nY";
    ctx.source_label = "Win10,\nPrefetch";
    ctx.user_name = "us,er\n";
    ctx.host_name = "ho\rst,";
    ctx.program_name = "run,\ntrail";
    ctx.modules = {{1, "\\A\\mod\nule,.dll"}};
    ctx.volume_paths = {"\\VOL,\r\nUME"};
    ctx.prev_run_times = {k_run - 10'000'000};
    ctx.run_count = 2;
    const std::string output = run_l2t(ctx);
    const auto lines = lines_of(output);
    ASSERT_EQ(lines.size(), 1u + 4u + 1u);  // header, M, A, C, B, one earlier run
    expect_well_formed(output, ',');
    EXPECT_NE(lines[1].find("a b[LF]c[CR]d[CRLF]e.pf [X [CRLF]Y executed]"), std::string::npos) << lines[1];

    // A separator with no replacement character configured (a tab, or ";") is still taken out
    // of every value.
    for (const char* separator : {"\t", ";"}) {
        l2t_context tab;
        tab.separator = separator;
        tab.field_sep_char = tab.field_sep_replacement = 0;
        tab.file_name = std::string("a") + separator + "b.pf";
        tab.user_name = std::string("u") + separator;
        const std::string out = run_l2t(tab);
        ASSERT_EQ(lines_of(out).size(), 4u);
        expect_well_formed(out, separator[0]);
    }
}
