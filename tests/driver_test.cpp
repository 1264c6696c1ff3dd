#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "process_inputs.h"

namespace {

using testing::HasSubstr;
using testing::Not;

const std::string k_data = RUNTRAIL_TEST_DATA;
const std::string k_bad = k_data + "/Bad/notAPrefetch.pf";
const std::string k_erase = "\x1b[2K\r                           \r";

std::string driver_dir() {
    static const std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "rt_drvXXXXXX").string();
        return std::string(mkdtemp(t.data()));
    }();
    return dir;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct tool_run {
    int status = -1;
    std::string out, err;
};

// Runs the built tool through the shell; `args` is shell text, `input` goes to standard input.
tool_run run_tool(const std::string& args, const std::string& input = "", const std::string& stdout_to = "") {
    const std::string dir = driver_dir();
    {
        std::ofstream(dir + "/stdin.txt", std::ios::binary) << input;
    }
    const std::string out_path = stdout_to.empty() ? dir + "/stdout.txt" : stdout_to;
    const std::string cmd = std::string("'") + RUNTRAIL_BINARY + "' " + args + " < '" + dir + "/stdin.txt' > '" +
                            out_path + "' 2> '" + dir + "/stderr.txt'";
    const int raw = std::system(cmd.c_str());
    tool_run r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (stdout_to.empty()) r.out = slurp(out_path);
    r.err = slurp(dir + "/stderr.txt");
    return r;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

const char* const k_expected_usage =
    "Usage:\n"
    "\n"
    "   runtrail <filename> [options]   = parse individual file\n"
    "   find /home -name *.pf -type f | PROG -pipe\n"
    "   ls /home/prefetch_dir/*.pf | PROG -pipe > results\n"
    "   runtrail -enumdir <location pf files> -num_subdirs <#> [options]\n"
    "\n"
    " Basic options\n"
    "  -csv                       = output in comma separated value format\n"
    "  -csvl2t                    = log2timeline output\n"
    "  -bodyfile                  = sleuthkit output\n"
    "  -verbose                   = force module listing to be in output\n"
    "\n"
    " Additional options\n"
    "  -pipe                      = pipe files into app for processing\n"
    "  -hostname <name>           = csv output will contain this hostname\n"
    "  -dateformat mm/dd/yyyy     = \"yyyy-mm-dd\" is the default\n"
    "  -timeformat hh:mm:ss       = \"hh:mm:ss.xxx\" is the default\n"
    "  -pair_datetime             = combine date/time into 1 field for csv\n"
    "  -no_whitespace             = remove whitespace between csv delimiter\n"
    "  -csv_separator \"|\"         = use a pipe character for csv separator\n"
    "  -pf_path                   = include prefetch path in output\n"
    "  -filter <*partial*|*.ext>  = filters stdin data from -pipe option\n"
    "  -jsonl                     = JSON Lines output, one object per file\n"
    "\n";

std::string expected_usage(const std::string& program) {
    std::string text = k_expected_usage;
    for (size_t at = text.find("PROG"); at != std::string::npos; at = text.find("PROG", at + program.size()))
        text.replace(at, 4, program);
    return text;
}

// "->" + a number + " secs" (the elapsed-time report), optionally followed by a line end.
bool is_elapsed_report(const std::string& text, bool line_end) {
    const std::string tail = line_end ? " secs\n" : " secs";
    if (text.rfind("->", 0) != 0 || text.size() <= 2 + tail.size()) return false;
    if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
    const std::string number = text.substr(2, text.size() - 2 - tail.size());
    return number.find_first_not_of("0123456789.e+-") == std::string::npos;
}

// Lines of the header block: what a run writes before any report.
size_t line_count(const std::string& s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

// What follows the header block (or everything, for JSON Lines, which has none).
std::string after_header(const std::string& s) {
    if (s.empty() || s.front() == '{') return s;
    const size_t second = s.find('\n', s.find('\n') + 1);
    return second == std::string::npos ? std::string() : s.substr(second + 1);
}

const std::string k_good = k_data + "/XPPro/CALC.EXE-02CD573A.pf";

// Report tests need the prefetch parser and the writer of the form; a form whose writer is not
// built in yet is left out.
bool form_available(const std::string& form) { return run_tool(quoted(k_good) + form).status == 0; }

bool reports_available() {
    static const bool available = form_available("");
    return available;
}

bool pipe_available() {
    static const bool available = run_tool("-pipe -quiet", k_good + "\n").status == 0;
    return available;
}

}  // namespace

TEST(Driver, HelpPrintsTheUsageText) {
    for (const char* args : {"", "-h", "-HELP", "x.pf /?", "--help -csv"}) {
        tool_run r = run_tool(args);
        SCOPED_TRACE(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, expected_usage(RUNTRAIL_BINARY));
    }
    // Arguments left over after the options: the usage again, with the bare program name.
    tool_run r = run_tool(quoted(k_bad) + " unknown-arg -quiet");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, expected_usage("runtrail"));
    EXPECT_EQ(line_count(r.out), 2u);
    EXPECT_THAT(r.out, HasSubstr("unknown-arg -quiet\"\n"));
}

TEST(Driver, NonPrefetchFileGivesNoReport) {
    tool_run r = run_tool(quoted(k_bad));
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(line_count(r.out), 2u);  // the header block alone
    EXPECT_THAT(r.out, HasSubstr("notAPrefetch.pf\"\n"));
    EXPECT_EQ(r.err, k_erase);  // no message for a file that was read but rejected

    tool_run j = run_tool(quoted(k_bad) + " -jsonl -quiet");  // JSON Lines: not even the header block
    EXPECT_EQ(j.status, 255);
    EXPECT_EQ(j.out, "");
    EXPECT_EQ(j.err, "");
}

TEST(Driver, UnreadableFilesAreSkippedWithAMessage) {
    const std::string dir = driver_dir();
    const std::string empty = dir + "/empty.pf";
    std::ofstream(empty).close();
    const std::string fifo = dir + "/fifo.pf";
    mkfifo(fifo.c_str(), 0600);
    for (const std::string& path : {dir + "/missing.pf", empty, dir, fifo, std::string("/proc/self/mem")}) {
        tool_run r = run_tool(quoted(path));
        SCOPED_TRACE(path);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "prob reading file " + path + "\n" + k_erase);
        tool_run q = run_tool(quoted(path) + " -quiet");
        EXPECT_EQ(q.status, 255);
        EXPECT_EQ(q.err, "");
    }
    if (geteuid() != 0) {  // permissions do not stop root
        const std::string locked = dir + "/locked.pf";
        std::filesystem::copy_file(k_bad, locked, std::filesystem::copy_options::overwrite_existing);
        chmod(locked.c_str(), 0);
        EXPECT_EQ(run_tool(quoted(locked)).err, "prob reading file " + locked + "\n" + k_erase);
    }
}

TEST(Driver, PathValueExpandsEnvironmentReferences) {
    setenv("RT_DRIVER_DATA", k_data.c_str(), 1);
    tool_run r = run_tool("'%RT_DRIVER_DATA%/Bad/notAPrefetch.pf'");
    EXPECT_EQ(r.status, 255);
    EXPECT_THAT(r.err, Not(HasSubstr("prob reading file")));  // found under the expanded path
}

TEST(Driver, ResultsFileWrittenAppendedOrRefused) {
    const std::string results = driver_dir() + "/results.txt";
    std::filesystem::remove(results);
    tool_run r = run_tool(quoted(k_bad) + " -quiet -out " + quoted(results));
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    const std::string once = slurp(results);
    EXPECT_EQ(line_count(once), 2u);

    // Without -append the file is replaced, with it extended; -append keeps the single-file form.
    run_tool(quoted(k_bad) + " -quiet -out " + quoted(results));
    EXPECT_EQ(slurp(results), once);
    tool_run a = run_tool(quoted(k_bad) + " -quiet -out " + quoted(results) + " -append");
    EXPECT_EQ(a.err, "");
    const std::string twice = slurp(results);
    EXPECT_EQ(twice.substr(0, once.size()), once);
    EXPECT_EQ(line_count(twice), 4u);
    EXPECT_THAT(twice, testing::EndsWith("-append\"\n"));
    const std::string fresh = driver_dir() + "/fresh.txt";
    std::filesystem::remove(fresh);
    run_tool(quoted(k_bad) + " -quiet -append -outfile " + quoted(fresh));
    EXPECT_EQ(line_count(slurp(fresh)), 2u);  // -append on a missing file creates it

    tool_run bad = run_tool(quoted(k_bad) + " -out /nonexistent-dir/r.txt");
    EXPECT_EQ(bad.status, 255);
    EXPECT_EQ(bad.err, "prob opening file /nonexistent-dir/r.txt for output, aborting\n");
    EXPECT_EQ(line_count(bad.out), 2u);
}

TEST(Driver, FailedWritesAreNotSuccess) {
    // Usage form: nothing fails except the write of the header block.
    tool_run full = run_tool("a b -out /dev/full");
    EXPECT_EQ(full.status, 255);
    const std::string message = "prob writing results file: /dev/full\n";
    const size_t at = full.err.find(message);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(full.err.find(message, at + 1), std::string::npos);  // once

    tool_run out = run_tool("a b", "", "/dev/full");
    EXPECT_EQ(out.status, 255);
    EXPECT_THAT(out.err, HasSubstr("prob writing to standard output\n"));
}

TEST(Driver, ProfileAndDiagnosticLog) {
    const std::string log = driver_dir() + "/diag.log";
    tool_run r = run_tool(quoted(k_bad) + " -quiet -profile -diags " + quoted(log));
    EXPECT_TRUE(is_elapsed_report(r.err, true)) << r.err;
    const std::string text = slurp(log);
    const size_t first_end = text.find('\n');
    ASSERT_NE(first_end, std::string::npos);
    EXPECT_THAT(text.substr(0, first_end), testing::StartsWith("->"));
    EXPECT_THAT(text.substr(0, first_end), HasSubstr(" -diags "));
    EXPECT_TRUE(is_elapsed_report(text.substr(first_end + 1), false)) << text;

    tool_run plain = run_tool(quoted(k_bad) + " -quiet -diags " + quoted(log));
    EXPECT_EQ(plain.err, "");  // the log gets the time, standard error does not
    EXPECT_THAT(slurp(log), testing::EndsWith(" secs"));

    tool_run silent = run_tool(quoted(k_bad) + " -quiet -diags /nonexistent-dir/d.log");
    EXPECT_EQ(silent.err, "");
    EXPECT_EQ(silent.status, 255);
}

TEST(Driver, FileNameRule) {
    EXPECT_EQ(file_name_of("C:\\Windows\\Prefetch\\X.pf"), "X.pf");
    EXPECT_EQ(file_name_of("dir/X.pf"), "X.pf");
    EXPECT_EQ(file_name_of("X.pf"), "X.pf");
    EXPECT_EQ(file_name_of("/X.pf"), "/X.pf");
    EXPECT_EQ(file_name_of("a/b/.."), ".");
    EXPECT_EQ(file_name_of("a/b\\c/d"), "c/d");  // a backslash decides
    EXPECT_EQ(file_name_of("\\X.pf"), "\\X.pf");
}

TEST(Driver, ReportsOfRealFiles) {
    if (!reports_available()) GTEST_SKIP() << "prefetch parser or writers not built in";
    for (const auto& entry : std::filesystem::directory_iterator(k_data + "/XPPro")) {
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        for (const char* form : {"", " -csv", " -csvl2t", " -bodyfile", " -jsonl"}) {
            if (!form_available(form)) continue;
            tool_run r = run_tool(quoted(path) + form);
            EXPECT_EQ(r.status, 0) << form;
            EXPECT_GT(line_count(r.out), std::string(form) == " -jsonl" ? 0u : 2u) << form;
            const std::string results = driver_dir() + "/same.txt";
            tool_run f = run_tool(quoted(path) + form + " -out " + quoted(results));
            EXPECT_EQ(f.status, 0);
            EXPECT_EQ(f.out, "");
            // Byte-identical apart from the command echo, which names the results file.
            const std::string file = slurp(results);
            EXPECT_EQ(file.substr(0, file.find('\n')), r.out.substr(0, r.out.find('\n'))) << form;
            EXPECT_EQ(after_header(file), after_header(r.out)) << form;
        }
    }
    if (form_available(" -jsonl")) {
        tool_run j = run_tool(quoted(k_good) + " -jsonl");
        EXPECT_EQ(j.out.front(), '{');
        EXPECT_EQ(line_count(j.out), 1u);
    }
}

TEST(Driver, ReadCapStillParsesALargeFile) {
    if (!reports_available()) GTEST_SKIP() << "prefetch parser or writers not built in";
    const std::string big = driver_dir() + "/BIG.EXE-00000000.pf";
    std::filesystem::copy_file(k_data + "/XPPro/CALC.EXE-02CD573A.pf", big,
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(truncate(big.c_str(), 20 * 1024 * 1024), 0);
    EXPECT_EQ(run_tool(quoted(big) + " -csv").status, 0);
}

TEST(Driver, PipeExitStatusFollowsTheLastFile) {
    if (!reports_available() || !pipe_available()) GTEST_SKIP() << "parser, writers or name source not built in";
    const std::string& good = k_good;
    const std::string missing = driver_dir() + "/missing.pf";
    tool_run last_bad = run_tool("-pipe -csv -quiet", missing + "\n" + good + "\n" + k_bad + "\n");
    EXPECT_EQ(last_bad.status, 255);
    tool_run last_good = run_tool("-pipe -csv -quiet", missing + "\n" + k_bad + "\n" + good + "\n");
    EXPECT_EQ(last_good.status, 0);
    EXPECT_EQ(last_bad.out, last_good.out);  // one report either way
    tool_run none = run_tool("-pipe -csv");
    EXPECT_EQ(none.status, 255);
    EXPECT_EQ(line_count(none.out), 2u);

    // Text form: a separator line first and one after each report, none for a failed file.
    const std::string sep = " =================================================== \n\n";
    tool_run text = run_tool("-pipe -quiet", good + "\n" + k_bad + "\n" + good + "\n" + k_bad + "\n");
    EXPECT_EQ(text.status, 255);
    size_t count = 0;
    for (size_t at = text.out.find(sep); at != std::string::npos; at = text.out.find(sep, at + 1)) ++count;
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(text.out.find(sep), text.out.find('\n', text.out.find('\n') + 1) + 1);

    if (!form_available(" -jsonl")) return;
    tool_run json = run_tool("-pipe -jsonl", good + "\n" + good + "\n");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(line_count(json.out), 2u);
    EXPECT_EQ(json.out.find("==="), std::string::npos);
}
