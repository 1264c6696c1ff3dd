#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "cmd_params.h"
#include "runtrail_user_context.h"
#include "tool_options.h"

namespace {

using Args = std::vector<std::string>;

Args with_program(std::initializer_list<const char*> rest) {
    Args a{"/usr/bin/runtrail.exe"};
    for (const char* r : rest) a.emplace_back(r);
    return a;
}

struct Parsed {
    bool ok;
    Args left;
    std::string err;
};

Parsed parse(cmd_params& s, Args args) {
    testing::internal::CaptureStderr();
    const bool ok = parse_generic_options(s, args);
    return {ok, args, testing::internal::GetCapturedStderr()};
}

std::string temp_dir() {
    static const std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "rt_optXXXXXX").string();
        return std::string(mkdtemp(t.data()));
    }();
    return dir;
}

}  // namespace

TEST(ArgumentMatching, CaseInsensitiveExactAndValueRules) {
    Args a = with_program({"-CSV", "-cs", "-csvx", "-Csv"});
    EXPECT_TRUE(find_flag("-csv", a));
    EXPECT_EQ(a, with_program({"-cs", "-csvx", "-Csv"}));  // the first exact match leaves
    EXPECT_TRUE(find_flag("-csv", a, true));
    EXPECT_EQ(a.size(), 4u);
    EXPECT_FALSE(find_flag("-c", a));

    std::string value = "unchanged";
    Args b = with_program({"x.pf", "-hostname"});
    EXPECT_FALSE(find_value("-hostname", value, b));  // last argument: absent, stays
    EXPECT_TRUE(b.size() == 3u && value == "unchanged");
    Args c = with_program({"-HOSTNAME", "box", "x.pf"});
    EXPECT_TRUE(find_value("-hostname", value, c) && value == "box");
    EXPECT_EQ(c, with_program({"x.pf"}));

    EXPECT_FALSE(has_arg_from("-append", with_program({}), 1));
    EXPECT_FALSE(has_arg_from("/usr/bin/runtrail.exe", with_program({}), 1));
    EXPECT_TRUE(has_arg_from("-APPEND", with_program({"-append"}), 1));

    char p0[] = "prog", p1[] = "-Pipe", p2[] = "x";
    char* argv[] = {p0, p1, p2};
    int argc = 3;
    EXPECT_TRUE(find_flag("-pipe", argc, argv));
    EXPECT_TRUE(argc == 2 && std::string(argv[1]) == "x");

    cmd_params s;
    auto r = parse(s, with_program({"a b", "x.pf"}));
    EXPECT_TRUE(r.ok && s.program_name == "runtrail");
    EXPECT_EQ(s.command_line, "/usr/bin/runtrail.exe \"a b\" x.pf");
    EXPECT_EQ(r.left, with_program({"a b", "x.pf"}));
    Args none;
    EXPECT_FALSE(parse_generic_options(s, none));
}

// Each option alone: what it changes, that it leaves the list and writes nothing.
#define HOLDS(expr) [](const cmd_params& s) { return expr; }
TEST(OptionParser, EachOptionAlone) {
    const std::pair<Args, std::function<bool(const cmd_params&)>> cases[] = {
        {{"-csv"}, HOLDS(s.out_csv && s.separator == "," && s.field_sep_char == ',' && s.field_sep_replacement == ' ' &&
                         s.compact_fields)},
        {{"-csvgen"}, HOLDS(s.out_csvgen && !s.out_csv && s.compact_fields)},
        {{"-csvl2t"}, HOLDS(s.out_csvl2t && s.separator == "," && s.header_pending)},
        {{"-bodyfile"}, HOLDS(s.out_bodyfile && s.separator == "|" && s.field_sep_char == '|' &&
                              s.field_sep_replacement == ';')},
        {{"-xml"}, HOLDS(s.out_xml && !s.header_pending && s.separator.empty())},
        {{"-multiline"}, HOLDS(s.out_multiline && s.separator.empty() && s.field_sep_char == 0)},
        {{"-jsonl"}, HOLDS(s.out_jsonl && !(s.out_csv || s.out_csvl2t || s.out_bodyfile || s.out_xml || s.out_multiline) &&
                           s.field_sep_char == 0)},
        {{"-alias", "C:|/mnt/c|%RT_OPT_HOME%|x"}, HOLDS(s.alias_map.at("c:") == "/mnt/c" && s.alias_map.at("/home/rt") == "x")},
        {{"-aliaspath", "C:/Win/|\"/mnt/c/\""}, HOLDS(s.alias_path_map.at("c:/win") == "/mnt/c")},
        {{"-aliaspath", ""}, HOLDS(s.alias_path_map.at("*").empty())},
        {{"-zlib"}, HOLDS(s.compress_output && s.use_zlib)},
        {{"-gzip"}, HOLDS(s.compress_output && s.use_gzip)},
        // Independent flags and values together.
        {{"-pair_datetime", "-split_pathfile", "-separate_files", "-profile", "-pipe", "-base10", "-v", "-quiet"},
         HOLDS(s.pair_datetime && s.split_pathfile && s.separate_files && s.profile && s.pipe_input && !s.hex_numbers &&
               s.verbose && !s.show_progress)},
        {{"-threads", "0x10", "-zlibex", "t", "-signal", "sig", "-username", "me", "-cpuinst", "'A'", "-cpu", "4",
          "-num_subdirs", "2", "-filter_path", "C:/X", "-filter_sig", "4d 41 4d"},
         HOLDS(s.thread_count == 16 && s.use_zlibex && s.zlibex_text == "t" && s.signal_text == "sig" &&
               s.user_name_given && s.user_name == "me" && s.cpu_instance == 65u && s.cpu_count == 4u &&
               s.num_subdirs == 2u && s.filter_path == "c:/x" && s.filter_signatures.size() == 1u)},
        {{"-hostname", "Box 1"}, HOLDS(s.host_name_given && s.host_name == "Box 1")},
        {{"-fragment_files", "3"}, HOLDS(s.separate_files && s.fragment_count == 3)},
        {{"-outdir", "%RT_OPT_HOME%/o"}, HOLDS(s.output_dir_given && s.output_dir == "/home/rt/o")},
        {{"-enumdir", "%RT_OPT_HOME%/pf"}, HOLDS(s.enum_dir_given && s.enum_dir == "/home/rt/pf")},
        // A start time alone leaves the window open to the end of time.
        {{"-cmd_start_time", "2020/01/02"},
         HOLDS(s.start_time_valid && s.start_time_unix == 1577923200u &&
               s.start_time == 1577923200ULL * 10000000ULL + 116444736000000000ULL && s.stop_time_valid &&
               s.stop_time == UINT64_MAX && s.stop_time_unix == UINT32_MAX)},
        {{"-cmd_stop_time", "2020-01-02"}, HOLDS(s.stop_time_valid && s.stop_time_unix == 1577923200u + 86399u)},
        {{"-csv_separator", "TAB"}, HOLDS(s.separator == "\t" && s.field_sep_char == 0)},
        {{"-csv_separator", "\\t"}, HOLDS(s.separator == "\t")},
        {{"-csv_separator", ";"}, HOLDS(s.separator == ";" && s.field_sep_char == 0)},
        {{"-enable_quoted_csv_fields"}, HOLDS(s.quoted_fields && s.separator == "|" && !s.pad_separator && s.field_sep_char == 0)},
        {{"-no_whitespace"}, HOLDS(s.separator == "|" && s.compact_fields && !s.pad_separator)},
        {{"-dateformat", "MM/DD/YY"}, HOLDS(s.date_format == "mm/dd/yy")},
        {{"-timeformat", "hh:mm:ss.xxxxxx"}, HOLDS(s.time_format == "hh:mm:ss.xxxxxx")},
        // Interactions: paired date/time columns stay padded; the table order, not the command line,
        // decides between forms; quoting clears the separator's replacement.
        {{"-csv", "-pair_datetime"}, HOLDS(s.pair_datetime && !s.compact_fields)},
        {{"-csv", "-no_whitespace", "-csv_separator", " ; "}, HOLDS(s.separator == ";" && s.compact_fields && !s.pad_separator)},
        {{"-enable_quoted_csv_fields", "-csv_separator", " , "}, HOLDS(s.separator == "," && s.field_sep_char == 0 && s.quoted_fields)},
        {{"-bodyfile", "-csv"}, HOLDS(s.out_bodyfile && !s.out_csv)},
        {{"-csv", "-jsonl"}, HOLDS(s.out_jsonl && !s.out_csv)},
        {{"-filter", "*.pf", "-filter", "*calc*"}, HOLDS(!s.out_csv)},  // repeated filters accumulate
    };
    setenv("RT_OPT_HOME", "/home/rt", 1);
    for (const auto& [args, holds] : cases) {
        cmd_params s;
        s.verbose = false;
        Args all = {"runtrail"};
        all.insert(all.end(), args.begin(), args.end());
        auto r = parse(s, all);
        SCOPED_TRACE(args.front() + " " + args.back());
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.left, Args{"runtrail"});
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(holds(s));
    }
}
#undef HOLDS

TEST(OptionParser, RejectionsAndWarnings) {
    struct Case {
        std::vector<const char*> args;
        bool ok;
        std::string message;
    } cases[] = {
        {{"-sqlite", "db"}, false, "This option is not offered in this build\n"},
        {{"-sqlite_log", "db"}, false, "This option is not offered in this build\n"},
        {{"-alias", "a|b|c"}, false, "imbalanced alias to true pathfiles, aborting\n"},
        {{"-alias", ""}, false, "imbalanced alias to true pathfiles, aborting\n"},
        {{"-aliaspath", "a"}, false, "imbalanced alias to true pathfiles, aborting\n"},
        {{"-out", "/nonexistent-dir/r.txt"}, false, "prob opening file /nonexistent-dir/r.txt for output, aborting\n"},
        {{"-dateformat", "m/d/yy"}, true, "invalid m/d/yy, using default format\n"},
        {{"-timeformat", "hhmmss"}, true, "invalid hhmmss, using default format\n"},
        {{"-cmd_start_time", "2020/13/40"}, true, "invalid start time, ignoring\n"},
        {{"-cmd_start_time", "2020"}, false, ""},
        {{"-cmd_stop_time", "20200101"}, false, ""},
        {{"-cmd_start_time", "2020/01/02 10:00:00", "-cmd_stop_time", "2020/01/01"}, true,
         "invalid stop time, ignoring\n"},
    };
    for (const auto& c : cases) {
        cmd_params s;
        Args args = {"runtrail"};
        for (const char* a : c.args) args.emplace_back(a);
        auto r = parse(s, args);
        SCOPED_TRACE(c.args.front());
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.err, c.message);
        if (c.ok) {
            EXPECT_EQ(s.date_format, "yyyy-mm-dd");
            EXPECT_EQ(s.time_format, "hh:mm:ss.xxx");
        }
    }
    cmd_params later;  // options after a failing one are not looked at
    EXPECT_FALSE(parse(later, with_program({"-sqlite", "x", "-quiet"})).ok);
    EXPECT_TRUE(later.show_progress);
}

TEST(OptionParser, ValueOptionAsLastArgumentStaysForTheTool) {
    for (const char* option : {"-diags", "-out", "-hostname", "-dateformat", "-filter", "-enumdir"}) {
        cmd_params s;
        auto r = parse(s, with_program({"x.pf", option}));
        EXPECT_TRUE(r.ok) << option;
        EXPECT_EQ(r.left, with_program({"x.pf", option})) << option;
    }
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(OptionParser, ResultsPathAndDiagnosticLog) {
    const std::string dir = temp_dir(), log = dir + "/diag.log";
    setenv("RT_OPT_OUT", dir.c_str(), 1);
    cmd_params s;
    ASSERT_TRUE(parse(s, with_program({"-out", "%RT_OPT_OUT%\\new.txt"})).ok);
    EXPECT_TRUE(s.results_path_given && !s.append_results && s.results_path == dir + "/new.txt");
    EXPECT_FALSE(std::filesystem::exists(dir + "/new.txt"));  // the probe's file is removed
    std::ofstream(dir + "/old.txt") << "keep me";
    cmd_params a;
    auto r = parse(a, with_program({"-outfile", (dir + "/old.txt").c_str(), "-append"}));
    EXPECT_TRUE(r.ok && a.append_results);
    EXPECT_EQ(r.left, with_program({"-append"}));  // the tool takes -append off the list
    EXPECT_EQ(slurp(dir + "/old.txt"), "keep me");
    cmd_params d;  // an existing device is probed, never removed
    ASSERT_TRUE(parse(d, with_program({"-out", "/dev/null"})).ok);
    struct stat st {};
    EXPECT_TRUE(stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));

    {
        cmd_params g;
        r = parse(g, with_program({"-diags", log.c_str(), "-L3", "x.pf"}));
        ASSERT_TRUE(r.ok && g.diag_on);
        EXPECT_EQ(g.diag_level, 3);
        EXPECT_EQ(r.left, with_program({"x.pf"}));
        g.diag_linef("lbl", "sfx", "n=%d", 5);
        g.diag_linef_level(4, nullptr, nullptr, "hidden");
        g.diag_linef_level(3, nullptr, nullptr, "shown");
        g.diag_linef(nullptr, nullptr, "%s", std::string(1000, 'z').c_str());
    }
    // Lines are cut to the format's length plus 254.
    EXPECT_EQ(slurp(log), "->/usr/bin/runtrail.exe -diags " + log + " -L3 x.pf\n->lbl : n=5: sfx\n->shown\n->" +
                              std::string(2 + 254, 'z') + "\n");
    cmd_params quiet;  // an unopenable log is dropped without a word
    r = parse(quiet, with_program({"-diags", "/nonexistent-dir/d.log", "-l2"}));
    EXPECT_TRUE(r.ok && r.err.empty() && !quiet.diag_on && quiet.diag_path.empty());
    EXPECT_EQ(r.left, with_program({"-l2"}));
}

TEST(ToolOptions, LongformAppendedOrNot) {
    const struct {
        Args args;
        bool csv, verbose, jsonl;
    } cases[] = {
        {{"x.pf"}, false, true, false},
        {{"x.pf", "-csv"}, true, false, false},
        {{"x.pf", "-CSVL2T"}, false, false, false},
        {{"x.pf", "-jsonl"}, false, false, true},
        {{"-pipe", "-enumdir", "d"}, true, false, false},
        {{"-pipe", "-enumdir", "d", "-v"}, false, true, false},
        {{"-pipe"}, false, true, false},
        {{"x.pf", "-csv", "-longform"}, false, true, false},
        {{"x.pf", "-hostname"}, false, true, false},  // a value option last is not fed the added -longform
    };
    for (const auto& c : cases) {
        runtrail_user_context ctx;
        Args args = {"runtrail"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        testing::internal::CaptureStderr();
        ASSERT_TRUE(parse_tool_options(ctx, args, "ver: 1.40"));
        testing::internal::GetCapturedStderr();
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(std::tuple(ctx.out_csv, ctx.verbose, ctx.out_jsonl), std::tuple(c.csv, c.verbose, c.jsonl));
        EXPECT_TRUE(ctx.source_label == "PREFETCH" && ctx.version_text == "ver: 1.40" && !ctx.host_name_given);
        EXPECT_TRUE(ctx.show_prev_times && ctx.show_target_path);
        EXPECT_EQ(std::count(args.begin(), args.end(), "-longform"), 0);
    }
    runtrail_user_context ctx;
    Args args = {"runtrail", "x.pf", "-PF_PATH", "extra", "-hostname"};
    ASSERT_TRUE(parse_tool_options(ctx, args, "ver: 1.40"));
    EXPECT_TRUE(ctx.show_prefetch_path && ctx.field_sep_char == 0);
    EXPECT_EQ(args, (Args{"runtrail", "x.pf", "extra", "-hostname"}));  // -hostname left for the usage
}

TEST(ToolOptions, HeaderBlockEchoesTheCommand) {
    const std::string h = header_block({"runtrail", "-pipe", "-csv", "my file.pf"});
    EXPECT_THAT(h, testing::EndsWith("<filelist> ... | runtrail -pipe -csv 'my file.pf'\""));
    EXPECT_EQ(h.find('\n'), h.rfind('\n'));  // two lines, no final line end
    EXPECT_EQ(header_block({"runtrail", "x.pf"}).find("<filelist>"), std::string::npos);
    for (const Args& a : {Args{"runtrail"}, Args{"runtrail", "x", "-HELP"}, Args{"runtrail", "/?"}})
        EXPECT_TRUE(help_requested(a));
    EXPECT_FALSE(help_requested({"runtrail", "x.pf"}));
}
