// Where the names of a run come from and how its files are read: -filter patterns, names on
// standard input, the directory walk, and the whole-file reader.
#include <sys/stat.h>

#include "directory_walk.h"
#include "file_reader.h"
#include "stdin_names.h"
#include "test_support.h"

namespace runtrail::test {
namespace {

using names = std::vector<std::string>;

TEST(Inputs, FilterPatternsPassTheNamesTheyDescribe) {
    const struct {
        const char* filter;
        names pass, fail;
    } cases[] = {
        {"*.pf", {"NOTEPAD.EXE-D8414F97.pf", "a.PF", "/mnt/c/Windows/Prefetch/X.PF", "/d/\xFF.pf"}, {"a.pf.txt", ""}},
        {"*calc*|*.pf", {"/x/MyCALCTool.exe", "/x/notepad.pf"}, {"/x/notepad.exe"}},
        {"a|b,c", {"d/a|b", "d/C"}, {"d/a", "d/b"}},  // split at ',' when there is one
        {" \t*.pf \r\n,  calc.exe ", {"x.pf", "CALC.EXE"}, {"calc.exe.txt"}},
        {"*", {"noextension", "/a/b/c.pf"}, {""}},
        {"calc*", {"calc.exe-1a2b3c4d.pf", "/p/CALC.EXE-1A2B3C4D.pf"}, {"mycalc.pf"}},
        {"calc.exe", {"/x/CALC.EXE", "c:\\dir\\Calc.Exe"}, {"/x/calc.exe.pf", "/x/mycalc.exe"}},
        {"/Windows/PREFETCH",
         {"/c/Windows/Prefetch/x.pf", "C:\\WINDOWS\\Prefetch\\X.PF", "/a/prefetchold/windows/prefetch/x"},
         {"/c/windows/prefetchold/x.pf", "/c/mywindows/prefetch/x.pf", "c:\\windows\\x.pf", "x.pf"}},
        {"*\xC3\xA9*", {"/d/caf\xC3\xA9.pf"}, {"/d/CAF\xC3\x89.pf"}},  // only ASCII letters fold
    };
    for (const auto& c : cases) {
        const std::vector<filter_entry> f = parse_filter(c.filter);
        for (const std::string& name : c.pass) EXPECT_TRUE(filter_match(name, f)) << c.filter << " / " << name;
        for (const std::string& name : c.fail) EXPECT_FALSE(filter_match(name, f)) << c.filter << " / " << name;
    }
    EXPECT_FALSE(filter_match("", {}));
}

TEST(Inputs, StandardInputGivesOneNamePerLineWithoutItsLineEnd) {
    const std::pair<std::string, names> cases[] = {
        {"a.pf\r\n/d ir/B.pf\n\n\r\n  lead.pf\t\nlast.pf", {"a.pf", "/d ir/B.pf", "", "", "  lead.pf\t", "last.pf"}},
        {"a.pf\r\r\n\rb.pf\n", {"a.pf", "\rb.pf"}},
        {"", {}}};
    for (const auto& [input, want] : cases) {
        std::FILE* f = std::tmpfile();
        std::fwrite(input.data(), 1, input.size(), f);
        std::rewind(f);
        stdin_names source(f);
        names got;
        for (std::string name; source.next(name);) got.push_back(name);
        std::fclose(f);
        EXPECT_EQ(got, want) << testing::PrintToString(input);
    }
}

// The walk from `root`, in order; `t` names files to make first (and the directories they need).
names walk(const scratch_dir& t, const std::string& root, uint32_t depth, const names& files = {}) {
    for (const std::string& file : files) {
        fs::create_directories(fs::path(t / file).parent_path());
        write_file(t / file, "x");
    }
    directory_walk source(t / root, depth);
    names got;
    for (std::string name; source.next(name);) got.push_back(name.substr(t.path.size() + 1));
    return got;
}

TEST(Inputs, DirectoryWalkKeepsToItsDepthListsFilesFirstExpandsStarsAndNeverFollowsLinks) {
    scratch_dir t;
    walk(t, "", 0, {"r/a.pf", "r/\xFF\xFE.pf", "r/l1/one.pf", "r/l1/l2/two.pf", "r/l1/l2/l3/3.pf", "r/\xE9/c.pf",
                    "mnt/c/Prefetch/a.pf", "mnt/d/Prefetch/b.pf", "mnt/d/Prefetch/deeper/z.pf", "mnt/e/other/c.pf",
                    "data/a.pf", "data/b.txt", "data/dir.pf/inner.pf", "data/dir.pf/deep/d.pf"});
    ASSERT_EQ(symlink((t / "r/l1").c_str(), (t / "r/dirlink").c_str()), 0);
    ASSERT_EQ(symlink((t / "r").c_str(), (t / "r/l1/loop").c_str()), 0);
    ASSERT_EQ(symlink((t / "mnt/c").c_str(), (t / "mnt/link").c_str()), 0);
    const std::tuple<const char*, uint32_t, names> cases[] = {
        {"r", 0, {"r/a.pf", "r/dirlink", "r/\xFF\xFE.pf"}},  // links come out as names, never walked
        {"r", 1, {"r/a.pf", "r/dirlink", "r/l1/loop", "r/l1/one.pf", "r/\xE9/c.pf", "r/\xFF\xFE.pf"}},
        {"r", 2, {"r/a.pf", "r/dirlink", "r/l1/l2/two.pf", "r/l1/loop", "r/l1/one.pf", "r/\xE9/c.pf", "r/\xFF\xFE.pf"}},
        {"mnt/*/Prefetch", 0, {"mnt/c/Prefetch/a.pf", "mnt/d/Prefetch/b.pf"}},
        {"mnt/*/Prefetch", 1, {"mnt/c/Prefetch/a.pf", "mnt/d/Prefetch/b.pf", "mnt/d/Prefetch/deeper/z.pf"}},
        {"mnt/*", 1, {"mnt/c/Prefetch/a.pf", "mnt/d/Prefetch/b.pf", "mnt/e/other/c.pf"}},
        {"data/*.pf", 0, {"data/a.pf", "data/dir.pf/inner.pf"}},  // matching files delivered, directories walked
        {"nothing/*/Prefetch", 3, {}}};
    for (const auto& [root, depth, want] : cases) {
        names got = walk(t, root, depth);
        for (size_t i = 0; i < got.size(); ++i)
            for (size_t j = i + 1; j < got.size(); ++j) {
                const std::string later_dir = fs::path(got[j]).parent_path().string() + "/";
                const bool from_below =
                    got[i].starts_with(later_dir) && got[i].find('/', later_dir.size()) != std::string::npos;
                EXPECT_FALSE(from_below) << got[j] << " came after " << got[i] << ", from below its directory";
            }
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, want) << root << " depth " << depth;
    }
}

TEST(Inputs, FileReaderRefusesWhatIsNoFileStopsAtTheCapAndKeepsFarTimes) {
    scratch_dir t;
    std::vector<uint8_t> buffer;
    size_t length = 0;
    file_stats stats;
    const auto read = [&](const std::string& path) {
        return read_file(path, k_prefetch_read_cap, buffer, length, stats) ? static_cast<int64_t>(length) : -1;
    };
    write_file(t / "empty.pf", "");
    ASSERT_EQ(mkfifo((t / "fifo.pf").c_str(), 0600), 0);
    for (const std::string& path : {t / "empty.pf", t.path, t / "fifo.pf", t / "missing.pf", std::string()})
        EXPECT_EQ(read(path), -1) << path;
    // A name that is not UTF-8 opens as its bytes.
    write_file(t / "\xFF\xFE.pf", "MAM\x04");
    EXPECT_EQ(read(t / "\xFF\xFE.pf"), 4);

    constexpr int64_t k_cap = 16 << 20;
    for (const int64_t size : {k_cap - 1, k_cap, k_cap + 1, int64_t{20} << 20}) {
        ASSERT_EQ(truncate((t / "\xFF\xFE.pf").c_str(), size), 0);
        EXPECT_EQ(read(t / "\xFF\xFE.pf"), std::min(size, k_cap)) << size;
        EXPECT_EQ(stats.size, static_cast<uint64_t>(size));
        EXPECT_EQ(buffer.at(3), 4u) << size;
    }
    // Modified 1960-01-01, accessed 2100-01-01 00:00:00.5 (in the future, so the read leaves it).
    const struct timespec times[2] = {{4102444800, 500000000}, {-315619200, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (t / "\xFF\xFE.pf").c_str(), times, 0), 0);
    ASSERT_EQ(read(t / "\xFF\xFE.pf"), k_cap);
    const uint64_t epoch = 116444736000000000ULL;
    EXPECT_EQ(stats.modified, epoch - 315619200ULL * 10000000ULL);
    EXPECT_EQ(stats.accessed, epoch + 4102444800ULL * 10000000ULL + 5000000ULL);
}

}  // namespace
}  // namespace runtrail::test
