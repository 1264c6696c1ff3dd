// The built program as a user runs it: exit statuses, messages, multi-file output, results files,
// the status line on a terminal, and the body file read back by sleuthkit's mactime.
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>

#include <ctime>
#include <set>
#include <sstream>
#include <tuple>

#include "test_support.h"

namespace runtrail::test {
namespace {

const std::string k_separator = " =================================================== \n\n";
const std::string k_csv_header = "prefetch file name,app name,";
const std::string k_not_prefetch = data_path("Bad/notAPrefetch.pf");

const std::string k_good[] = {data_path("Win7/CALC.EXE-77FDF17F.pf"), data_path("XPPro/CMD.EXE-087B4001.pf"),
                              data_path("Win10/CALC.EXE-3FBEF7FD.pf"), data_path("Win11/AM_BASE.EXE-3F70DC95.pf"),
                              data_path("Vista/NOTEPAD.EXE-EB1B961A.pf")};

TEST(Tool, FilesThatCannotBeReportedAreNamedOnStandardErrorUnlessQuiet) {
    scratch_dir work;
    write_file(work / "empty.pf", "");
    const std::pair<std::string, std::string> cases[] = {
        {work / "missing.pf", "prob reading file "}, {work / "empty.pf", "prob reading file "},
        {work.path, "prob reading file "}, {k_not_prefetch, "prob parsing file "}, {k_good[0], ""}};
    for (const auto& [path, message] : cases) {
        // Standard error is no terminal: the message alone, no escape code.
        const tool_result r = run_tool({path}, ""), quiet = run_tool({path, "-quiet"}, "");
        EXPECT_EQ(r.status, message.empty() ? 0 : 255) << path;
        EXPECT_EQ(r.err, message.empty() ? "" : message + path + "\n");
        EXPECT_EQ(quiet.status, r.status) << path;
        EXPECT_EQ(quiet.err, "") << path;
    }
}

TEST(Tool, PipeRunsEndAsTheLastFileDidSeparateTextReportsAndWriteOneCsvHeader) {
    scratch_dir work;
    const std::tuple<std::string, int, size_t> cases[] = {
        {work / "missing.pf\n" + k_good[0] + "\n" + k_not_prefetch + "\n", 255, 1},
        {work / "missing.pf\n" + k_not_prefetch + "\n" + k_good[0] + "\n", 0, 1},
        {k_good[0] + "\r\n" + k_good[1] + "\r\n\r\n", 0, 2},  // CR LF line ends, a blank line last
        {"", 255, 0}, {"\n\n", 255, 0}};
    for (const auto& [list, status, reports] : cases) {
        const tool_result r = run_tool({"-pipe", "-csv", "-quiet"}, list);
        EXPECT_EQ(r.status, status) << list;
        // The header block's two lines, then the CSV header and a row for each reported file.
        EXPECT_EQ(count_of(r.out, "\n"), 2 + (reports ? reports + 1 : 0)) << list;
    }
    const std::string list = k_good[0] + "\n" + k_not_prefetch + "\n" + k_good[1] + "\n" + k_not_prefetch + "\n";
    const tool_result text = run_tool({"-pipe", "-quiet"}, list);
    EXPECT_EQ(text.status, 255);
    // Right after the header block and after each reported file, never after a failed one.
    EXPECT_EQ(count_of(text.out, k_separator), 3u);
    EXPECT_EQ(text.out.find(k_separator), text.out.find("\"\n") + 2);
    EXPECT_TRUE(text.out.ends_with(k_separator));
}

TEST(Tool, ResultsFileHoldsTheStandardOutputBytesAndAppendExtendsIt) {
    scratch_dir work;
    const std::string results = work / "results.csv", list = k_good[0] + "\n" + k_good[1] + "\n";
    const std::vector<std::string> appending{"-pipe", "-csv", "-out", results, "-append"};
    EXPECT_EQ(run_tool(appending, list).out, "");
    const std::string once = read_text(results);
    const auto after_echo = [](const std::string& out) { return out.substr(out.find("\"\n")); };
    EXPECT_EQ(after_echo(once), after_echo(run_tool({"-pipe", "-csv"}, list).out));
    // Each appending run adds its own header block and CSV header; without -append the file is replaced.
    EXPECT_EQ(run_tool(appending, list).status, 0);
    EXPECT_EQ(read_text(results), once + once);
    EXPECT_EQ(run_tool({"-pipe", "-csv", "-out", results}, list).status, 0);
    EXPECT_EQ(count_of(read_text(results), k_csv_header), 1u);
}

TEST(Tool, StatusLineIsDrawnOnATerminalOnlyAndHiddenForEachMessage) {
    scratch_dir work;
    const std::string empty = work / "empty.pf", missing = work / "missing.pf";
    write_file(empty, "");
    const std::vector<std::string> batches{
        k_good[0] + "\n\n" + empty + "\n" + k_good[1] + "\n",
        k_good[2] + "\n" + k_not_prefetch + "\n" + k_good[3] + "\r\n" + missing + "\n",
        k_good[4] + "\n" + empty + "\n"};
    const std::string said = "prob reading file " + empty + "\nprob parsing file " + k_not_prefetch +
                             "\nprob reading file " + missing + "\nprob reading file " + empty +
                             "\nruntrail: 9 files: 5 reported, 4 skipped\n";
    const std::string input = batches[0] + batches[1] + batches[2];
    // No terminal: the messages and the summary, no escape code.
    const tool_result plain = run_tool({"-pipe", "-csv"}, input);
    EXPECT_EQ(plain.err, said);

    // Standard error on a raw pseudo-terminal; the input written in batches with pauses in between,
    // so that the status line is due again at the start of each later batch.
    int master = -1, in_pipe[2];
    struct termios raw {};
    cfmakeraw(&raw);
    ASSERT_EQ(pipe(in_pipe), 0);
    const pid_t child = forkpty(&master, nullptr, &raw, nullptr);
    if (child == 0) {  // standard error stays on the terminal
        dup2(in_pipe[0], 0), dup2(open((work / "out.csv").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        close(in_pipe[0]), close(in_pipe[1]);
        exec_tool({"-pipe", "-csv"});
    }
    close(in_pipe[0]);
    std::string e;
    const auto drain = [&](int ms) {  // reads the terminal until it stays silent for `ms` or ends
        char buffer[4096];
        for (pollfd p{master, POLLIN, 0}; poll(&p, 1, ms) > 0;) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            e.append(buffer, static_cast<size_t>(n));
        }
    };
    for (const std::string& batch : batches)
        if (write(in_pipe[1], batch.data(), batch.size()) == static_cast<ssize_t>(batch.size())) drain(300);
    close(in_pipe[1]);
    drain(20000);
    close(master);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(read_text(work / "out.csv"), plain.out);
    const std::string hide = "\r\x1b[K";
    EXPECT_GE(count_of(e, " files/s\x1b[K"), 2u) << e;
    // Erased only right after a drawn line, and at least once for a message.
    EXPECT_GE(count_of(e, hide), 1u) << e;
    EXPECT_EQ(count_of(e, " files/s\x1b[K" + hide), count_of(e, hide)) << e;
    // Every drawn line ("\r" + status + erase to the end) stays on its line; without them and the
    // erases, exactly what the run without a terminal said, the summary last.
    std::string bare = e;
    for (size_t at, end; (at = bare.find('\r')) != std::string::npos; bare.erase(at, end + 3 - at)) {
        end = bare.find("\x1b[K", at);
        ASSERT_NE(end, std::string::npos) << e;
        EXPECT_EQ(bare.substr(at, end - at).find('\n'), std::string::npos) << e;
    }
    EXPECT_EQ(bare, said);
}

// Unix seconds as mactime shows them with -z UTC: "Sat Jan 16 2016 20:27:01".
std::string mactime_date(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm parts {};
    char text[64];
    std::strftime(text, sizeof text, "%a %b %d %Y %H:%M:%S", gmtime_r(&t, &parts));
    return text;
}
int64_t unix_seconds(uint64_t filetime) { return static_cast<int64_t>(filetime / 10'000'000) - 11'644'473'600; }

TEST(Tool, MactimeReadsTheBodyFileOfEveryRealFileWithItsRunAndFileTimes) {
    // Copies named apart, each with modification and access times of its own (access times in the
    // future, so that reading the file leaves them).
    scratch_dir work;
    std::string list;
    std::set<std::tuple<std::string, char, std::string>> expected, seen;  // (date, m/a/c, file name)
    int64_t i = 0;
    for (const std::string& file : real_files()) {
        std::string name = file;
        std::replace(name.begin(), name.end(), '/', '_');
        fs::copy_file(data_path(file), work / name);
        const int64_t mtime = 1500000000 + 100000 * i, atime = 2000000000 + 100000 * i++;
        const struct timespec times[2] = {{atime, 0}, {mtime, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (work / name).c_str(), times, 0), 0);
        list += work / name + "\n";
        expected.emplace(mactime_date(mtime), 'm', name);
        expected.emplace(mactime_date(atime), 'a', name);
        const loaded_file f = load_real_file(file);
        expected.emplace(mactime_date(unix_seconds(f.record.last_run)), 'c', name);
        for (uint64_t t : f.record.earlier_runs) expected.emplace(mactime_date(unix_seconds(t)), 'c', name);
    }
    const tool_result body = run_tool({"-pipe", "-bodyfile", "-quiet"}, list);
    ASSERT_EQ(body.status, 0);
    if (!have("mactime")) GTEST_SKIP() << "sleuthkit's mactime is not installed (.ci/install-test-tools installs it)";

    write_file(work / "all.body", body.out);
    ASSERT_EQ(std::system(("mactime -b '" + work / "all.body" + "' -z UTC -d > '" + work / "all.csv" + "'").c_str()), 0);
    std::istringstream lines(read_text(work / "all.csv"));
    std::string line, date;
    std::getline(lines, line);
    ASSERT_EQ(line, "Date,Size,Type,Mode,UID,GID,Meta,File Name");
    while (std::getline(lines, line)) {
        const size_t name = line.find(",\"") + 2, type = line.find(',', line.find(',') + 1) + 1;
        ASSERT_GT(name, 1u) << line;
        if (line[0] != ',') date = line.substr(0, line.find(','));
        for (size_t k = 0; k < 3; ++k)
            if (line[type + k] != '.') seen.emplace(date, "mac"[k], line.substr(name, line.find(" (", name) - name));
    }
    for (const auto& [when, kind, name] : expected)
        EXPECT_EQ(seen.count({when, kind, name}), 1u) << name << " " << kind << " at " << when;
}

}  // namespace
}  // namespace runtrail::test
