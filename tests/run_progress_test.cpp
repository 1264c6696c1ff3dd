#include "run_progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

const std::string k_erase = "\x1b[2K\r                           \r";  // the end-of-run erase
const std::string k_hide = "\r\x1b[K";

// Everything the status object wrote to a temporary stream.
std::string written(std::FILE* f) {
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(RunProgress, StatusLineIsRateLimitedRedrawnInPlaceAndHiddenForMessages) {
    uint64_t now = 5000, reads = 0;
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        run_progress p(f, true, [&] { return ++reads, now; });
        for (int i = 0; i < 50; ++i, ++now) p.file_done(i % 10 != 0);  // within the first interval
        EXPECT_EQ(written(f), "");
        EXPECT_FALSE(p.showing());
        p.hide();  // nothing showing: nothing written
        now = 5100;
        p.file_done(true);
        EXPECT_EQ(written(f), "\r51 files: 46 reported, 5 skipped, 0:00, 510 files/s\x1b[K");
        now = 5199;
        p.file_done(false);  // not due yet
        now = 5200;
        p.file_done(true);
        p.hide();
        p.hide();
        const std::string out = written(f);
        EXPECT_EQ(count_of(out, "\r"), 3u);
        EXPECT_EQ(out.find('\n'), std::string::npos);  // never scrolls
        EXPECT_TRUE(out.ends_with("files/s\x1b[K" + k_hide)) << out;
        EXPECT_EQ(p.summary(), "runtrail: 53 files: 47 reported, 6 skipped\n");
        EXPECT_EQ(reads, 54u);  // once at the start, once per file
    }
    // Without a terminal: counts only, no output and no clock reads.
    uint64_t idle_reads = 0;
    run_progress quiet(f, false, [&] { return ++idle_reads; });
    for (int i = 0; i < 40000; ++i) quiet.file_done(i >= 300);
    EXPECT_EQ(idle_reads, 0u);
    EXPECT_EQ(quiet.summary(), "runtrail: 40,000 files: 39,700 reported, 300 skipped\n");
    std::fclose(f);

    run_progress one(nullptr, true, [] { return uint64_t{0}; });  // no stream: never draws
    one.file_done(true);
    EXPECT_EQ(one.summary(), "runtrail: 1 file: 1 reported, 0 skipped\n");
    EXPECT_EQ(one.status_text(3'725'000), "1 files: 1 reported, 0 skipped, 1:02:05, 0 files/s");
}

TEST(RunProgress, DirectoryIsShortenedToOneSafeLine) {
    const std::pair<uint64_t, const char*> grouped[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {UINT64_MAX, "18,446,744,073,709,551,615"}};
    for (const auto& [n, text] : grouped) EXPECT_EQ(group_thousands(n), text);
    const std::tuple<const char*, size_t, const char*> fitted[] = {
        {"/mnt/c/Windows/Prefetch/", 40, "/mnt/c/Windows/Prefetch/"},
        {"/mnt/c/Windows/Prefetch/", 12, "...Prefetch/"},
        {"/a\nb\x1b[2J/\xff\xc3/", 80, "/a?b?[2J/?\?/"},  // control bytes, broken UTF-8
        {"/d/caf\xc3\xa9/", 80, "/d/caf\xc3\xa9/"},        // é: one column
        {"/\xe6\x96\x87\xe6\x96\x87", 5, "/\xe6\x96\x87\xe6\x96\x87"},  // 文: two columns
        {"/\xe6\x96\x87\xe6\x96\x87\xe6\x96\x87", 6, "...\xe6\x96\x87"},
        {"/abcdef", 2, ".."},
    };
    for (const auto& [path, width, want] : fitted) EXPECT_EQ(fit_path(path, width), want) << path;

    uint64_t now = 0;
    const std::string dir = "/mnt/evidence/" + std::string(200, 'x') + "/Windows/Prefetch/";
    run_progress p(nullptr, true, [&] { return now; });
    p.watch_directory(&dir);
    for (int i = 0; i < 1234; ++i) p.file_done(true);
    const std::string line = p.status_text(61'000);
    EXPECT_EQ(line.size(), run_progress::k_line_columns);
    EXPECT_EQ(line.rfind("1,234 files: 1,234 reported, 0 skipped, 1:01, 20 files/s, ...", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 18), "/Windows/Prefetch/");
}

// ---- the built tool over a generated tree ----

// 300 copies of real files with empty files (skipped with a message), files that are no prefetch
// files (skipped quietly) and text files that -filter "*.pf" leaves out among them, over four
// directories; the list has blank lines. Removed when the test ends.
struct tree {
    std::string root, list, expected_messages;
    size_t good = 0, skipped = 0;
    tree() {
        std::string base = (fs::temp_directory_path() / "rt_progXXXXXX").string();
        root = mkdtemp(base.data());
        const std::string data = RUNTRAIL_TEST_DATA;
        std::vector<std::string> sources;
        for (const char* dir : {"/Win10", "/Vista", "/Win2012"})
            for (const auto& e : fs::directory_iterator(data + dir))
                if (e.path().extension() == ".pf") sources.push_back(e.path());
        for (int i = 0; good < 300; ++i) {
            const std::string sub = root + "/d" + std::to_string(i % 4);
            fs::create_directories(sub);
            std::string path = sub + "/f" + std::to_string(i);
            if (i % 40 == 7) {
                std::ofstream(path += ".txt") << "notes\n";
                list += path + "\n\n";
                continue;
            }
            path += ".pf";
            if (i % 25 == 3) {
                std::ofstream{path};
                expected_messages += "prob reading file " + path + "\n";
                ++skipped;
            } else if (i % 37 == 5) {
                fs::copy_file(data + "/Bad/notAPrefetch.pf", path);
                expected_messages += "prob parsing file " + path + "\n";
                ++skipped;
            } else {
                fs::copy_file(sources[good++ % sources.size()], path);
            }
            list += path + "\n";
        }
    }
    ~tree() { fs::remove_all(root); }
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The output after the header block (whose command echo differs with -quiet).
std::string report_of(const std::string& out) {
    const size_t echo = out.find("\n\"");
    return echo == std::string::npos ? "" : out.substr(out.find('\n', echo + 1) + 1);
}

struct tool_run {
    std::string out, err;
};
// Runs the tool with `input` on standard input and standard output in a file. With `pty` set,
// standard error is a raw pseudo-terminal and the input arrives in three parts with pauses in
// between, so that the run lasts long enough for its status line to be drawn more than once.
tool_run run_tool(const tree& t, const std::vector<std::string>& args, const std::string& input, bool pty) {
    const std::string out_path = t.root + "/stdout.txt", err_path = t.root + "/stderr.txt";
    int master = -1, slave = -1, in_pipe[2];
    if (pty) {
        struct termios raw {};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) return {};
    }
    if (pipe(in_pipe) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(in_pipe[0], 0);
        close(in_pipe[0]);
        close(in_pipe[1]);  // or standard input never ends
        if (pty) close(master);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(pty ? slave : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        std::vector<char*> argv{const_cast<char*>(RUNTRAIL_BINARY)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(RUNTRAIL_BINARY, argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    if (pty) close(slave);
    tool_run r;
    const auto drain = [&](int ms) {  // reads the terminal for `ms` milliseconds, or to its end
        char buffer[4096];
        for (pollfd p{master, POLLIN, 0}; poll(&p, 1, ms) > 0;) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            r.err.append(buffer, static_cast<size_t>(n));
        }
    };
    const size_t third = input.size() / 3;
    for (size_t part = 0, at = 0; part < 3; ++part) {
        const size_t end = part == 2 ? input.size() : input.find('\n', at + third) + 1;
        if (write(in_pipe[1], input.data() + at, end - at) != static_cast<ssize_t>(end - at)) break;
        at = end;
        if (pty && part < 2) drain(300);
    }
    close(in_pipe[1]);
    if (pty) drain(20000), close(master);
    waitpid(child, nullptr, 0);
    r.out = slurp(out_path);
    if (!pty) r.err = slurp(err_path);
    return r;
}

TEST(RunProgressTool, StatusLineOnATerminalOnlyAndOneSummaryAfterTheErase) {
    const tree t;
    const std::vector<std::string> args{"-pipe", "-csv", "-filter", "*.pf"};
    const std::string summary = "runtrail: " + std::to_string(t.good + t.skipped) +
                                " files: " + std::to_string(t.good) + " reported, " + std::to_string(t.skipped) +
                                " skipped\n";

    // No terminal: the messages, the end-of-run erase and the summary, nothing else.
    const tool_run plain = run_tool(t, args, t.list, false);
    EXPECT_EQ(plain.err, t.expected_messages + k_erase + summary);
    EXPECT_EQ(count_of(plain.out, "\nf"), t.good);  // one row per reported file

    auto quiet_args = args;
    quiet_args.push_back("-quiet");
    const tool_run quiet = run_tool(t, quiet_args, t.list, false);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(report_of(quiet.out), report_of(plain.out));

    const tool_run term = run_tool(t, args, t.list, true);
    EXPECT_EQ(term.out, plain.out);
    EXPECT_FALSE(report_of(plain.out).empty());
    // Drawn and redrawn in place, then erased; the summary comes last.
    const std::string& e = term.err;
    EXPECT_GE(count_of(e, "files/s\x1b[K"), 2u) << e;
    ASSERT_GE(e.size(), k_erase.size() + summary.size());
    EXPECT_EQ(e.substr(e.size() - k_erase.size() - summary.size()), k_erase + summary);
    EXPECT_EQ(count_of(e, summary), 1u);
    // Every message starts a line of its own: at the start, after a line end, or after the status
    // line was erased. Together they are the same messages as without a terminal.
    std::string messages;
    size_t hidden = 0;
    for (size_t at = e.find("prob "); at != std::string::npos; at = e.find("prob ", at + 1)) {
        const bool after_erase = at >= k_hide.size() && e.compare(at - k_hide.size(), k_hide.size(), k_hide) == 0;
        hidden += after_erase;
        EXPECT_TRUE(at == 0 || e[at - 1] == '\n' || after_erase) << e.substr(at > 80 ? at - 80 : 0, 100);
        messages += e.substr(at, e.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(messages, t.expected_messages);
    EXPECT_GE(hidden, 1u);  // at least one message arrived while the status line showed

    // A directory walk counts the same files (the text files are filtered out).
    const tool_run walk = run_tool(t, {"-enumdir", t.root, "-num_subdirs", "1", "-csv", "-filter", "*.pf"}, "", false);
    EXPECT_EQ(walk.err.substr(walk.err.size() - summary.size()), summary);
    EXPECT_EQ(count_of(walk.err, "prob "), count_of(t.expected_messages, "\n"));
}

}  // namespace
