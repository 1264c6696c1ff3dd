// Evidence is never harmed: no input is written over, names are data, control codes never reach a
// terminal, and every name or directory that costs the report is said and counted.
#include <fcntl.h>
#include <sys/stat.h>

#include "test_support.h"

namespace runtrail::test {
namespace {

const std::string k_real = data_path("Win7/CMD.EXE-4A81B364.pf");
const std::string k_real_row = "CMD.EXE-4A81B364.pf,CMD.EXE,";

// dir/walk, holding a copy of a real file as e.pf.
std::string walk_with_real_file(const scratch_dir& dir) {
    fs::create_directory(dir / "walk");
    write_file(dir / "walk/e.pf", read_text(k_real));
    return dir / "walk";
}

TEST(Evidence, DestinationThatIsTheInputTheResultsFileOrAPrefetchFileIsRefusedAndKeepsEveryByte) {
    scratch_dir dir;
    const std::string walk = walk_with_real_file(dir), input = walk + "/e.pf", mam = walk + "/m.pf", results = dir / "r.csv";
    const std::string bytes = read_text(k_real), mam_bytes = read_text(data_path("Win10/CALC.EXE-3FBEF7FD.pf"));
    write_file(mam, mam_bytes);
    const std::string output = "prob opening file ", log = "prob opening diagnostic log ";
    const std::string is_input = " for output: it is the input file, aborting", holds = ": it holds a prefetch file, aborting";
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{input, "-out", input}, output + input + is_input},
        {{input + "/", "-out", input, "-append"}, output + input + is_input},  // the name as the reader opens it
        {{input, "-diags", input}, log + input + ": it is the input file, aborting"},
        {{input, "-out", results, "-diags", results}, log + results + ": it is the results file, aborting"},
        {{"-enumdir", walk, "-csv", "-out", input}, output + input + " for output" + holds},
        {{"-pipe", "-out", mam, "-append"}, output + mam + " for output" + holds},
        {{k_real, "-diags", mam}, log + mam + holds},
    };
    for (const auto& [args, message] : refused) {
        const tool_result r = run_tool(args, k_real + "\n");
        EXPECT_EQ(r.status, 255) << message;
        EXPECT_EQ(r.err, message + "\n");
        EXPECT_EQ(r.out, "") << message;
        EXPECT_EQ(read_text(input), bytes) << "input written over: " << message;
        EXPECT_EQ(read_text(mam), mam_bytes) << "input written over: " << message;
    }
    EXPECT_FALSE(fs::exists(results)) << "a refused run leaves no results file it created";
    const tool_result no_log = run_tool({input, "-csv", "-diags", dir / "no/such/dir.log"});
    EXPECT_EQ(no_log.status, 0);
    EXPECT_EQ(no_log.err, "prob opening diagnostic log " + dir / "no/such/dir.log" + ", going on without it\n");
}

TEST(Evidence, StandardOutputThatIsTheInputIsRefusedBeforeAnyByteIsWritten) {
    scratch_dir dir;
    const std::string input = dir / "e.pf", bytes = read_text(k_real);
    write_file(input, bytes);
    write_file(dir / "names", input + "\n" + k_real + "\n");
    // Run by the shell, standard output appended to the input; named on standard input, the input
    // is skipped like the results file.
    const std::tuple<std::string, std::string, int, std::string> runs[] = {
        {"'" + input + "' -csv", "/dev/null", 255, "prob writing to standard output: it is the input file, aborting\n"},
        {"'" + input + "' -out /dev/stdout", "/dev/null", 255,
         "prob opening file /dev/stdout for output: it is the input file, aborting\n"},
        {"-pipe -csv", dir / "names", 0,
         "prob reading file " + input + ": it is the results file\nruntrail: 2 files: 1 reported, 1 skipped\n"},
    };
    for (const auto& [args, names, status, err] : runs) {
        const std::string command = std::string(RUNTRAIL_BINARY) + " " + args + " < '" + names + "' >> '" + input +
                                    "' 2> '" + dir / "err" + "'";
        const int s = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(s) ? WEXITSTATUS(s) : -1, status) << args;
        EXPECT_EQ(read_text(dir / "err"), err);
        const std::string now = read_text(input);  // the piped run appends after the input's bytes
        EXPECT_EQ(status == 0 ? now.substr(0, bytes.size()) : now, bytes) << "the header block or a report reached the input";
    }
}

TEST(Evidence, DiagnosticLogMarksControlCodesAndEndsEveryLine) {
    scratch_dir dir;
    const std::string walk = walk_with_real_file(dir), crafted = walk + "/a\n->forged\x1b[2J.pf", log = dir / "d.log";
    write_file(crafted, read_text(k_real));
    const tool_result r = run_tool({"-enumdir", walk, "-csv", "-diags", log, "-quiet"});
    EXPECT_EQ(r.status, 0);
    const std::string text = read_text(log);
    EXPECT_TRUE(has(text, "->" + walk + "/a[LF]->forged[0x1B][2J.pf\n"));
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(count_of(text, "\n"), 4u) << text;  // the command line, two names, the elapsed time
    EXPECT_EQ(count_of(text, "\n->"), 3u) << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST(Evidence, RunningOutOfMemoryNamesTheFileAndFailsTheRun) {
    if (k_sanitized) GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
    const std::string worst = data_path("regressions/worst-case.mam");
    constexpr rlim_t k_limit = rlim_t{48} << 20;  // ample for real files, far too little for this one
    const std::string message = "prob reading file " + worst + ": out of memory\n";
    const tool_result single = run_tool({worst, "-csv"}, "", "", k_limit);
    EXPECT_EQ(single.status, 255);
    EXPECT_EQ(single.err, message);
    for (const char* threads : {"1", "2"}) {
        const tool_result r = run_tool({"-pipe", "-csv", "-threads", threads}, k_real + "\n" + worst + "\n", "", k_limit);
        EXPECT_EQ(r.status, 255) << threads;
        EXPECT_EQ(r.err, message + "runtrail: 2 files: 1 reported, 1 skipped\n") << threads;
        EXPECT_EQ(count_of(r.out, k_real_row), 1u) << threads;
    }
}

TEST(Evidence, PipedOrWalkedNameThatIsAFileTheRunWritesIsSkippedAndCounted) {
    scratch_dir dir;
    const std::string walk = walk_with_real_file(dir), results = walk + "/r.csv", log = walk + "/d.log";
    const tool_result piped = run_tool({"-pipe", "-csv", "-out", results, "-diags", log},
                                     results + "\n" + log + "\n" + walk + "/e.pf\n");
    EXPECT_EQ(piped.err, "prob reading file " + results + ": it is the results file\nprob reading file " + log +
                             ": it is the diagnostic log\nruntrail: 3 files: 1 reported, 2 skipped\n");
    fs::remove(log);
    const tool_result walked = run_tool({"-enumdir", walk, "-csv", "-out", results});
    EXPECT_EQ(walked.err,
              "prob reading file " + results + ": it is the results file\nruntrail: 2 files: 1 reported, 1 skipped\n");
}

TEST(Evidence, PipedLineTooLongOrHoldingANulByteIsOneSkippedNameAndNoPartOfItIsOpened) {
    scratch_dir dir;
    // Read in pieces, this line's last piece would name a real file.
    const std::string crafted = std::string(4095 * 256, 'a') + k_real;
    const std::string longest(PATH_MAX - 1, 'b'), too_long(PATH_MAX, 'c');
    const std::string lines = crafted + "\n" + std::string("x\0y.pf\n", 7) + longest + "\r\n" + too_long + "\n";
    const tool_result r = run_tool({"-pipe", "-csv"}, lines + k_real + "\n");
    EXPECT_EQ(r.err, "prob reading line 1 of standard input: name too long\n"
                     "prob reading line 2 of standard input: name holds a NUL byte\n"
                     "prob reading file " + longest + "\n"
                     "prob reading line 4 of standard input: name too long\n"
                     "runtrail: 5 files: 1 reported, 4 skipped\n");
    EXPECT_EQ(count_of(r.out, k_real_row), 1u);
}

TEST(Evidence, PercentReferencesAreExpandedOnlyInNamesTypedOnTheCommandLine) {
    scratch_dir dir;
    const std::string walk = walk_with_real_file(dir);
    write_file(walk + "/a%RT_EVIDENCE_NAME%.pf", read_text(k_real));  // the file system's name, not a pattern
    setenv("RT_EVIDENCE_DIR", walk.c_str(), 1);
    setenv("RT_EVIDENCE_NAME", "elsewhere", 1);
    EXPECT_EQ(run_tool({"-pipe", "-csv"}, "%RT_EVIDENCE_DIR%/e.pf\n").err,
              "prob reading file %RT_EVIDENCE_DIR%/e.pf\nruntrail: 1 file: 0 reported, 1 skipped\n");
    EXPECT_EQ(run_tool({"-enumdir", walk, "-csv"}).err, "runtrail: 2 files: 2 reported, 0 skipped\n");
}

TEST(Evidence, ControlCodesFromAFileOrItsNameAreShownAsEscapesInEveryForm) {
    scratch_dir dir;
    // ESC ] 0 ; x BEL retitles a terminal; DEL, the C1 code CSI (U+009B), then real characters.
    const std::u16string exe = u"C\x1b]0;x\x07" u"D\x7f\x9b" u"E\u00e9\u20ac";
    std::string bytes = read_text(k_real);
    for (size_t i = 0; i <= exe.size(); ++i) {
        const char16_t unit = i < exe.size() ? exe[i] : 0;
        bytes[0x10 + 2 * i] = static_cast<char>(unit & 0xFF);
        bytes[0x11 + 2 * i] = static_cast<char>(unit >> 8);
    }
    const std::string file = dir / "n\x1b[2J\x07.pf";
    write_file(file, bytes);
    const std::string shown_exe = "C[0x1B]]0;x[0x07]D[0x7F][0x9B]E\u00e9\u20ac", shown_file = "n[0x1B][2J[0x07].pf";
    // The JSON forms keep the value and escape every control code, C1 included, so that a reader
    // printing it (jq -r) sends none to the terminal.
    const std::string json_exe = "C\\u001b]0;x\\u0007D\\u007f\\u009bE\u00e9\u20ac";
    for (const std::string form : {"-longform", "-csv", "-csvl2t", "-bodyfile", "-jsonl", "-timesketch"}) {
        const tool_result r = run_tool({file, form});
        const bool json = form == "-jsonl" || form == "-timesketch";
        EXPECT_EQ(r.status, 0) << form;
        EXPECT_EQ(r.out.find_first_of("\x1b\x07\x7f\x9b"), std::string::npos) << form;  // C1 CSI is C2 9B
        EXPECT_TRUE(json || has(r.out, shown_file)) << form << ":\n" << r.out;
        EXPECT_TRUE(form == "-bodyfile" || has(r.out, json ? json_exe : shown_exe)) << form << ":\n" << r.out;
    }
    const std::string junk = dir / "j\x1b]0;x\x07\x9b.pf";
    write_file(junk, "not a prefetch file");
    EXPECT_EQ(run_tool({"-pipe"}, junk + "\n").err, "prob parsing file " + dir / "j[0x1B]]0;x[0x07][0x9B].pf" +
                                                         "\nruntrail: 1 file: 0 reported, 1 skipped\n");
}

TEST(Evidence, DirectoryTooDeepToListIsSaidAndCountedAndAnUnlistableRootFailsTheRun) {
    scratch_dir dir;
    const tool_result missing = run_tool({"-enumdir", dir / "no/such/root", "-csv", "-quiet"});
    EXPECT_EQ(missing.status, 255);
    EXPECT_EQ(missing.err, "prob reading directory " + dir / "no/such/root" + "\n");

    // 22 directories of 200-character names, a copy of a real file at the bottom: the path is
    // longer than the system's limit and no one can list it, root included. Made one level at a
    // time, by descriptor, as no whole path can name them; rm, which walks by descriptor too,
    // takes them away.
    const std::string walk = walk_with_real_file(dir), part(200, 'd'), bytes = read_text(k_real);
    int fd = open(walk.c_str(), O_DIRECTORY);
    for (int i = 0; i < 22; ++i) {
        mkdirat(fd, part.c_str(), 0700);
        const int next = openat(fd, part.c_str(), O_DIRECTORY);
        close(fd);
        fd = next;
    }
    const int file = openat(fd, "deep.pf", O_WRONLY | O_CREAT, 0600);
    EXPECT_EQ(write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(file), close(fd);
    const tool_result too_deep = run_tool({"-enumdir", walk, "-num_subdirs", "30", "-csv"});
    EXPECT_EQ(std::system(("rm -rf '" + walk + "/" + part + "'").c_str()), 0);
    EXPECT_EQ(count_of(too_deep.err, "prob reading directory " + walk + "/"), 1u) << too_deep.err.substr(0, 200);
    EXPECT_TRUE(has(too_deep.err, "runtrail: 2 files: 1 reported, 1 skipped\n"));
}

TEST(Evidence, FirstFailedWriteEndsTheRunAndNoUnwrittenReportCountsAsReported) {
    scratch_dir dir;
    // Reports enough to fill the output buffer many times over, then a name that must never be read.
    std::string names;
    for (int i = 0; i < 1000; ++i) names += k_real + "\n";
    for (const char* threads : {"1", "3"}) {
        const tool_result r = run_tool({"-pipe", "-csvl2t", "-out", "/dev/full", "-threads", threads},
                                     names + dir / "after-the-failure.pf\n");
        EXPECT_EQ(r.status, 255) << threads;
        EXPECT_EQ(r.err.find("prob writing results file: /dev/full\n"), 0u) << r.err;
        EXPECT_EQ(count_of(r.err, "prob writing results file"), 1u) << r.err;
        EXPECT_EQ(r.err.find("after-the-failure"), std::string::npos) << "a name was read after the failed write";
        EXPECT_TRUE(has(r.err, " files: 0 reported, "));
    }
}

TEST(Evidence, ResultsGoToAFifo) {
    scratch_dir dir;
    const std::string fifo = dir / "results.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // the reader is there before runtrail
    const tool_result r = run_tool({k_real, "-csv", "-out", fifo});
    std::string got(65536, '\0');
    got.resize(static_cast<size_t>(std::max<ssize_t>(0, read(reader, got.data(), got.size()))));
    close(reader);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count_of(got, k_real_row), 1u) << got;
}

}  // namespace
}  // namespace runtrail::test
