// Many files on many threads: the same bytes as one file after the other, names taken as they come,
// and a run that ends at once when its output fails.
#include <poll.h>
#include <signal.h>

#include "test_support.h"
#include "worst_case_image.h"

namespace runtrail::test {
namespace {

TEST(Threads, EveryThreadCountGivesTheBytesOfOneThreadInEveryForm) {
    // Every real file, with names that cannot be reported and blank lines among them; the last name
    // (which decides the exit status) is missing.
    const scratch_dir dir;
    write_file(dir / "empty.pf", "");
    std::string names;
    size_t n = 0;
    for (const std::string& file : real_files()) {
        names += data_path(file) + "\n";
        if (++n % 5 == 0) names += dir / "missing.pf\n\n" + dir / "empty.pf\n" + data_path("Bad/notAPrefetch.pf") + "\n";
    }
    names += dir / "missing.pf\n";
    run_tool({"-pipe", "-quiet"}, names);  // reading may move the files' access times once
    const std::vector<std::string> forms[] = {{"-longform"}, {"-csv", "-hashcheck"}, {"-csv", "-pair_datetime", "-pf_path"},
                                              {"-csvl2t"}, {"-bodyfile"}, {"-jsonl"}, {"-timesketch"}};
    for (const auto& form : forms) {
        for (const std::vector<std::string>& input :
             {std::vector<std::string>{"-pipe"}, {"-enumdir", RUNTRAIL_TEST_DATA, "-num_subdirs", "2"}}) {
            std::vector<std::string> args = form;
            args.insert(args.end(), input.begin(), input.end());
            args.insert(args.end(), {"-threads", "1"});
            const tool_result one = run_tool(args, names);
            ASSERT_FALSE(without_header_block(one.out).empty()) << form[0];
            for (const char* threads : {"2", "3", "8"}) {
                args.back() = threads;
                const tool_result many = run_tool(args, names);
                const std::string what = form[0] + " " + input[0] + " -threads " + threads;
                EXPECT_EQ(many.status, one.status) << what;
                EXPECT_EQ(many.err, one.err) << what;
                EXPECT_EQ(without_header_block(many.out), without_header_block(one.out)) << what;
            }
        }
    }
}

TEST(Threads, NamesArrivingSlowlyAreReportedAsTheyCome) {
    int names[2], reports[2];
    ASSERT_EQ(pipe(names), 0);
    ASSERT_EQ(pipe(reports), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(names[0], 0);
        dup2(reports[1], 1);
        close(names[1]), close(reports[0]);
        exec_tool({"-pipe", "-csv", "-quiet"});  // as many threads as processors
    }
    close(names[0]), close(reports[1]);
    // Each row shows up while the names that follow it are still to come.
    for (const char* file : {"Win7/CMD.EXE-4A81B364.pf", "Win10/CALC.EXE-3FBEF7FD.pf"}) {
        const std::string line = data_path(file) + "\n";
        ASSERT_EQ(write(names[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::string seen;
        char buffer[4096];
        for (int tries = 0; tries < 100 && seen.find(file_name_of(file) + ",") == std::string::npos; ++tries)
            if (pollfd p{reports[0], POLLIN, 0}; poll(&p, 1, 100) > 0 && (p.revents & POLLIN))
                seen.append(buffer, static_cast<size_t>(std::max<ssize_t>(0, read(reports[0], buffer, sizeof buffer))));
        EXPECT_TRUE(has(seen, file_name_of(file) + ",")) << file << " not reported while names still come";
    }
    close(names[1]);
    int status = 0;
    waitpid(child, &status, 0);
    close(reports[0]);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Threads, MemoryOfManyLargeFilesDoesNotGrowWithTheThreadCount) {
    if (k_sanitized) GTEST_SKIP() << "the memory of an instrumented build says nothing about the program";
    // Each copy of the worst case takes some 70 MiB while it is worked: sixteen at once would take
    // over 1 GiB, the run's budget keeps them to a few at a time.
    const scratch_dir dir;
    fs::create_directory(dir / "walk");
    for (int i = 0; i < 16; ++i) fs::copy_file(data_path("regressions/worst-case.mam"), dir / "walk/W" + std::to_string(i) + ".pf");
    const tool_result r = run_tool({"-enumdir", dir / "walk", "-csv", "-out", dir / "r.csv", "-threads", "16"}, "");
    EXPECT_EQ(r.err, "runtrail: 16 files: 16 reported, 0 skipped\n");
    EXPECT_LT(r.peak_memory, size_t{512} << 20);
}

TEST(Threads, MemoryOfManyLargeReportsDoesNotGrowWithTheThreadCount) {
    if (k_sanitized) GTEST_SKIP() << "the memory of an instrumented build says nothing about the program";
    // Each copy makes a 22 MB timeline from an image of 2 MiB (a file of a few KiB): counted at the
    // size of its image, sixteen would be worked at once; counted at the size of its report, two.
    const scratch_dir dir;
    fs::create_directory(dir / "walk");
    const std::vector<uint8_t> mam = xpress_test::make_mam(largest_report_image(size_t{2} << 20, 10000));
    for (int i = 0; i < 16; ++i) write_file(dir / "walk/R" + std::to_string(i) + ".pf", std::string(mam.begin(), mam.end()));
    const tool_result r = run_tool({"-enumdir", dir / "walk", "-timesketch", "-out", dir / "r.jsonl", "-threads", "16"}, "");
    EXPECT_EQ(r.err, "runtrail: 16 files: 16 reported, 0 skipped\n");
    EXPECT_GT(fs::file_size(dir / "r.jsonl"), uintmax_t{16} * 20000000);
    EXPECT_LT(r.peak_memory, size_t{128} << 20);
}

TEST(Threads, SignalEndsTheRunWithWholeReportsAndASummary) {
    const scratch_dir dir;
    for (const int signal_number : {SIGINT, SIGTERM}) {
        int names[2];
        ASSERT_EQ(pipe(names), 0);
        const std::string results = dir / "r.csv", err = dir / "err", row = "CMD.EXE-4A81B364.pf,CMD.EXE,";
        fs::remove(results);
        const pid_t child = fork();
        if (child == 0) {
            dup2(names[0], 0);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            close(names[1]);
            exec_tool({"-pipe", "-csv", "-out", results});
        }
        close(names[0]);
        // Names still to come: the run waits for them, its reports written so far.
        const std::string line = data_path("Win7/CMD.EXE-4A81B364.pf") + "\n";
        for (int i = 0; i < 3; ++i) ASSERT_EQ(write(names[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
        for (int tries = 0; tries < 100 && count_of(read_text(results), row) < 3; ++tries) usleep(50000);
        kill(child, signal_number);
        int status = 0;
        waitpid(child, &status, 0);
        close(names[1]);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << signal_number;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        EXPECT_EQ(read_text(err), "runtrail: 3 files: 3 reported, 0 skipped, interrupted\n");
        const std::string csv = read_text(results);
        EXPECT_EQ(count_of(csv, row), 3u);
        EXPECT_EQ(csv.back(), '\n');
    }
}

TEST(Threads, ClosedOutputEndsTheRunAtOnce) {
    const scratch_dir dir;
    std::string names;
    for (int i = 0; i < 40; ++i)
        for (const std::string& file : real_files()) names += data_path(file) + "\n";
    // A reader that goes away after one line: the run ends then, by the broken pipe, long before
    // its thousands of names are read; the diagnostic log names each file it took.
    write_file(dir / "names", names);
    const std::string command = std::string(RUNTRAIL_BINARY) + " -pipe -longform -threads 3 -diags " + dir / "d.log" +
                                " < " + dir / "names" + " | head -1 > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_LT(count_of(read_text(dir / "d.log"), "\n->"), count_of(names, "\n") / 4);
}

}  // namespace
}  // namespace runtrail::test
