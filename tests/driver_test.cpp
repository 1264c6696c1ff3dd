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
    std::ofstream(dir + "/stdin.txt", std::ios::binary) << input;
    const std::string out_path = stdout_to.empty() ? dir + "/stdout.txt" : stdout_to;
    const std::string cmd = std::string("'") + RUNTRAIL_BINARY + "' " + args + " < '" + dir + "/stdin.txt' > '" +
                            out_path + "' 2> '" + dir + "/stderr.txt'";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, stdout_to.empty() ? slurp(out_path) : "", slurp(dir + "/stderr.txt")};
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

// "->" + a number + " secs": the elapsed-time report.
bool is_elapsed_report(const std::string& text) {
    return text.rfind("->", 0) == 0 && text.size() > 7 && text.ends_with(" secs") &&
           text.find_first_not_of("0123456789.e+-", 2) == text.size() - 5;
}

size_t line_count(const std::string& s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

const std::string k_good = k_data + "/XPPro/CALC.EXE-02CD573A.pf";

}  // namespace

TEST(Driver, UsageRejectedAndUnreadableFiles) {
    for (const char* args : {"", "-h", "-HELP", "x.pf /?", "--help -csv"}) {
        tool_run r = run_tool(args);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err, expected_usage(RUNTRAIL_BINARY)) << args;
    }
    // Arguments left over after the options: the usage again, with the bare program name.
    tool_run r = run_tool(quoted(k_bad) + " unknown-arg -quiet");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, expected_usage("runtrail"));
    EXPECT_EQ(line_count(r.out), 2u);
    EXPECT_THAT(r.out, HasSubstr("unknown-arg -quiet\"\n"));

    // A file read but rejected: the header block alone and one message; JSON Lines has no header.
    r = run_tool(quoted(k_bad));
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(line_count(r.out), 2u);
    EXPECT_THAT(r.out, HasSubstr("notAPrefetch.pf\"\n"));
    EXPECT_EQ(r.err, "prob parsing file " + k_bad + "\n" + k_erase);
    r = run_tool(quoted(k_bad) + " -jsonl -quiet");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out + r.err, "");

    const std::string dir = driver_dir(), empty = dir + "/empty.pf", fifo = dir + "/fifo.pf";
    std::ofstream(empty).close();
    mkfifo(fifo.c_str(), 0600);
    for (const std::string& path : {dir + "/missing.pf", empty, dir, fifo, std::string("/proc/self/mem")}) {
        r = run_tool(quoted(path));
        EXPECT_EQ(r.status, 255) << path;
        EXPECT_EQ(r.err, "prob reading file " + path + "\n" + k_erase);
        r = run_tool(quoted(path) + " -quiet");
        EXPECT_EQ(r.status, 255) << path;
        EXPECT_EQ(r.err, "") << path;
    }
    if (geteuid() != 0) {  // permissions do not stop root
        const std::string locked = dir + "/locked.pf";
        std::filesystem::copy_file(k_bad, locked, std::filesystem::copy_options::overwrite_existing);
        chmod(locked.c_str(), 0);
        EXPECT_EQ(run_tool(quoted(locked)).err, "prob reading file " + locked + "\n" + k_erase);
    }
    setenv("RT_DRIVER_DATA", k_data.c_str(), 1);  // found under the expanded path: no message
    EXPECT_EQ(run_tool("'%RT_DRIVER_DATA%/Bad/notAPrefetch.pf' -quiet").status, 255);
    EXPECT_THAT(run_tool("'%RT_DRIVER_DATA%/Bad/notAPrefetch.pf'").err, HasSubstr("prob parsing file "));
}

TEST(Driver, ResultsFileWrittenAppendedOrRefused) {
    const std::string results = driver_dir() + "/results.txt", fresh = driver_dir() + "/fresh.txt";
    std::filesystem::remove(results);
    std::filesystem::remove(fresh);
    tool_run r = run_tool(quoted(k_bad) + " -quiet -out " + quoted(results));
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    const std::string once = slurp(results);
    EXPECT_EQ(line_count(once), 2u);
    // Without -append the file is replaced, with it extended; -append keeps the single-file form.
    run_tool(quoted(k_bad) + " -quiet -out " + quoted(results));
    EXPECT_EQ(slurp(results), once);
    EXPECT_EQ(run_tool(quoted(k_bad) + " -quiet -out " + quoted(results) + " -append").err, "");
    const std::string twice = slurp(results);
    EXPECT_EQ(twice.substr(0, once.size()), once);
    EXPECT_EQ(line_count(twice), 4u);
    EXPECT_THAT(twice, testing::EndsWith("-append\"\n"));
    run_tool(quoted(k_bad) + " -quiet -append -outfile " + quoted(fresh));
    EXPECT_EQ(line_count(slurp(fresh)), 2u);  // -append on a missing file creates it

    r = run_tool(quoted(k_bad) + " -out /nonexistent-dir/r.txt");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "prob opening file /nonexistent-dir/r.txt for output, aborting\n");
    EXPECT_EQ(line_count(r.out), 2u);

    // Failed writes are not success; the usage form fails only at the header block, reported once.
    r = run_tool("a b -out /dev/full");
    EXPECT_EQ(r.status, 255);
    const std::string message = "prob writing results file: /dev/full\n";
    ASSERT_NE(r.err.find(message), std::string::npos);
    EXPECT_EQ(r.err.find(message), r.err.rfind(message));
    r = run_tool("a b", "", "/dev/full");
    EXPECT_EQ(r.status, 255);
    EXPECT_THAT(r.err, HasSubstr("prob writing to standard output\n"));
}

TEST(Driver, ProfileAndDiagnosticLog) {
    const std::string log = driver_dir() + "/diag.log";
    tool_run r = run_tool(quoted(k_bad) + " -quiet -profile -diags " + quoted(log));
    EXPECT_TRUE(r.err.ends_with("\n") && is_elapsed_report(r.err.substr(0, r.err.size() - 1))) << r.err;
    const std::string text = slurp(log);
    const size_t first_end = text.find('\n');
    ASSERT_NE(first_end, std::string::npos);
    EXPECT_THAT(text.substr(0, first_end), testing::AllOf(testing::StartsWith("->"), HasSubstr(" -diags ")));
    EXPECT_TRUE(is_elapsed_report(text.substr(first_end + 1))) << text;
    // Without -profile the log gets the time, standard error does not; an unopenable log is dropped.
    EXPECT_EQ(run_tool(quoted(k_bad) + " -quiet -diags " + quoted(log)).err, "");
    EXPECT_THAT(slurp(log), testing::EndsWith(" secs"));
    r = run_tool(quoted(k_bad) + " -quiet -diags /nonexistent-dir/d.log");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 255);
}

TEST(Driver, FileNameRule) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Windows\\Prefetch\\X.pf", "X.pf"}, {"dir/X.pf", "X.pf"}, {"X.pf", "X.pf"}, {"/X.pf", "/X.pf"},
        {"a/b/..", "."}, {"a/b\\c/d", "c/d"} /* a backslash decides */, {"\\X.pf", "\\X.pf"},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(file_name_of(path), name) << path;
}

TEST(Driver, ReportsOfRealFilesAndTheReadCap) {
    const std::string results = driver_dir() + "/same.txt";
    for (const auto& entry : std::filesystem::directory_iterator(k_data + "/XPPro")) {
        const std::string path = entry.path().string();
        for (const std::string form : {"", " -csv", " -csvl2t", " -bodyfile", " -jsonl"}) {
            SCOPED_TRACE(path + form);
            tool_run r = run_tool(quoted(path) + form);
            EXPECT_EQ(r.status, 0);
            EXPECT_GT(line_count(r.out), form == " -jsonl" ? 0u : 2u);
            tool_run f = run_tool(quoted(path) + form + " -out " + quoted(results));
            EXPECT_EQ(f.status, 0);
            EXPECT_EQ(f.out, "");
            // Byte-identical apart from the command echo (second line), which names the results file.
            std::string file = slurp(results);
            if (form != " -jsonl") {
                for (std::string* s : {&file, &r.out}) s->erase(s->find('\n'), s->find('\n', s->find('\n') + 1) - s->find('\n'));
            }
            EXPECT_EQ(file, r.out);
        }
    }
    tool_run j = run_tool(quoted(k_good) + " -jsonl");
    EXPECT_EQ(j.out.front(), '{');
    EXPECT_EQ(line_count(j.out), 1u);

    // Larger than the 16 MiB read cap: the first 16 MiB are still parsed.
    const std::string big = driver_dir() + "/BIG.EXE-00000000.pf";
    std::filesystem::copy_file(k_good, big, std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(truncate(big.c_str(), 20 * 1024 * 1024), 0);
    EXPECT_EQ(run_tool(quoted(big) + " -csv").status, 0);
}

TEST(Driver, PipeExitStatusFollowsTheLastFile) {
    const std::string missing = driver_dir() + "/missing.pf";
    tool_run last_bad = run_tool("-pipe -csv -quiet", missing + "\n" + k_good + "\n" + k_bad + "\n");
    EXPECT_EQ(last_bad.status, 255);
    tool_run last_good = run_tool("-pipe -csv -quiet", missing + "\n" + k_bad + "\n" + k_good + "\n");
    EXPECT_EQ(last_good.status, 0);
    EXPECT_EQ(last_bad.out, last_good.out);  // one report either way
    tool_run none = run_tool("-pipe -csv");
    EXPECT_EQ(none.status, 255);
    EXPECT_EQ(line_count(none.out), 2u);

    // Text form: a separator line first and one after each report, none for a failed file.
    const std::string sep = " =================================================== \n\n";
    tool_run text = run_tool("-pipe -quiet", k_good + "\n" + k_bad + "\n" + k_good + "\n" + k_bad + "\n");
    EXPECT_EQ(text.status, 255);
    size_t count = 0;
    for (size_t at = text.out.find(sep); at != std::string::npos; at = text.out.find(sep, at + 1)) ++count;
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(text.out.find(sep), text.out.find('\n', text.out.find('\n') + 1) + 1);

    tool_run json = run_tool("-pipe -jsonl", k_good + "\n" + k_good + "\n");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(line_count(json.out), 2u);
    EXPECT_EQ(json.out.find("==="), std::string::npos);
}
