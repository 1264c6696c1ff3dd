#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "directory_listing.h"
#include "name_source.h"

namespace fs = std::filesystem;
using qnportdir::stdin_stream_ex;

namespace {

// ---------------------------------------------------------------- standard input

std::vector<std::string> read_all_lines(const std::string& input, bool strip = true) {
    std::FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    std::fwrite(input.data(), 1, input.size(), f);
    std::rewind(f);
    stdin_stream_ex source(f);
    EXPECT_TRUE(source.open_stdin());
    std::vector<std::string> names;
    std::string name;
    while (source.next_name(name, strip)) names.push_back(name);
    EXPECT_TRUE(name.empty());
    std::fclose(f);
    return names;
}

TEST(NameSourceStdin, LinesAreDeliveredWithLineEndsStrippedAndNothingElse) {
    const auto names = read_all_lines("a.pf\r\n/dir with space/B.pf\n\n\r\n  lead.pf\t\nmissing/no.pf\nlast.pf");
    const std::vector<std::string> want{"a.pf", "/dir with space/B.pf", "", "", "  lead.pf\t", "missing/no.pf",
                                        "last.pf"};
    EXPECT_EQ(names, want);
}

TEST(NameSourceStdin, WithoutStripTheLineEndsStay) {
    EXPECT_EQ(read_all_lines("a.pf\r\nb", false), (std::vector<std::string>{"a.pf\r\n", "b"}));
}

TEST(NameSourceStdin, AnyRunOfCarriageReturnsAndLineFeedsAtTheEndIsStripped) {
    // Only line ends at the end go: a carriage return that starts a line is part of the name.
    EXPECT_EQ(read_all_lines("a.pf\r\r\n\rb.pf\n"), (std::vector<std::string>{"a.pf", "\rb.pf"}));
}

TEST(NameSourceStdin, LongLinesComeInPiecesOf4095Bytes) {
    const std::string line(5000, 'x');
    const auto names = read_all_lines(line + "\n" + std::string(4095, 'y') + "\n" + std::string(4096, 'z'));
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0].size(), 4095u);
    EXPECT_EQ(names[1].size(), 905u);
    // Exactly 4095 bytes plus the line end: the line end comes as an empty piece of its own.
    EXPECT_EQ(names[2], std::string(4095, 'y'));
    EXPECT_EQ(names[3], "");
    EXPECT_EQ(names[4], std::string(4095, 'z'));
    EXPECT_EQ(names[5], "z");
}

TEST(NameSourceStdin, LineHoldingAZeroByteIsDeliveredEmpty) {
    // Opening it by its text would open "a.pf" instead.
    EXPECT_EQ(read_all_lines(std::string("a.pf\0evil\nb.pf\n", 15)), (std::vector<std::string>{"", "b.pf"}));
}

TEST(NameSourceStdin, EmptyInputEndsAtOnceAndFmemopenWorksToo) {
    EXPECT_TRUE(read_all_lines("").empty());
    char text[] = "x.pf\ny.pf";
    std::FILE* f = fmemopen(text, std::strlen(text), "r");
    ASSERT_NE(f, nullptr);
    stdin_stream_ex source(f);
    ASSERT_TRUE(source.open_stdin());
    std::string name;
    ASSERT_TRUE(source.next_name(name, true));
    EXPECT_EQ(name, "x.pf");
    ASSERT_TRUE(source.next_name(name, true));
    EXPECT_EQ(name, "y.pf");
    EXPECT_FALSE(source.next_name(name, true));
    EXPECT_TRUE(source.current_directory().empty());
    std::fclose(f);
}

// ---------------------------------------------------------------- directory walk

class temp_tree {
public:
    temp_tree() {
        std::string pattern = (fs::temp_directory_path() / "runtrail-walk-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
        root_ = pattern;
    }
    ~temp_tree() {
        std::error_code ec;
        // Restore permissions that a test took away, so everything can be removed.
        for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
        }
        fs::remove_all(root_, ec);
    }
    const std::string& root() const { return root_; }
    std::string path(const std::string& rel) const { return root_ + "/" + rel; }
    void file(const std::string& rel) const {
        fs::create_directories(fs::path(path(rel)).parent_path());
        std::ofstream(path(rel)) << "x";
    }
    void dir(const std::string& rel) const { fs::create_directories(path(rel)); }

private:
    std::string root_;
};

std::vector<std::string> walk(const std::string& dir, uint32_t depth, const std::vector<filter_entry>& filters = {}) {
    stdin_stream_ex source(nullptr);
    std::vector<std::string> names;
    if (!source.open_walk(dir, depth, filters)) return names;
    std::string name;
    while (source.next_name(name, true)) names.push_back(name);
    return names;
}

// The entries of one directory in the order the system lists them.
std::vector<std::pair<std::string, bool>> listing(const std::string& dir) {
    std::vector<std::pair<std::string, bool>> out;
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        const bool is_dir = lstat((dir + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        out.emplace_back(name, is_dir);
    }
    closedir(d);
    return out;
}

// The walk order stated independently: files of a directory in reverse listing order, then its
// subdirectories, last listed first, each walked completely, down to max_depth.
void expected_order(const std::string& dir, uint32_t depth, uint32_t max_depth, std::vector<std::string>& out) {
    const auto entries = listing(dir);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (!it->second) out.push_back(dir + "/" + it->first);
    if (depth >= max_depth) return;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->second) expected_order(dir + "/" + it->first, depth + 1, max_depth, out);
}

TEST(NameSourceWalk, DocumentedExampleTreeFollowsTheOrderRule) {
    temp_tree t;
    for (const char* f : {"data/b.pf", "data/sub/c.pf", "data/a.pf", "data/sub2/d.pf"}) t.file(f);
    const std::string data = t.path("data");

    const auto level0 = walk(data, 0);
    EXPECT_EQ(std::set<std::string>(level0.begin(), level0.end()),
              (std::set<std::string>{data + "/a.pf", data + "/b.pf"}));
    std::vector<std::string> want;
    expected_order(data, 0, 0, want);
    EXPECT_EQ(level0, want);

    const auto level1 = walk(data, 1);
    want.clear();
    expected_order(data, 0, 1, want);
    EXPECT_EQ(level1, want);
    ASSERT_EQ(level1.size(), 4u);
    // Both files of the root come before anything below it.
    EXPECT_EQ(std::set<std::string>(level1.begin(), level1.begin() + 2),
              (std::set<std::string>{data + "/a.pf", data + "/b.pf"}));
    EXPECT_EQ(std::set<std::string>(level1.begin() + 2, level1.end()),
              (std::set<std::string>{data + "/sub/c.pf", data + "/sub2/d.pf"}));
}

TEST(NameSourceWalk, DepthLimits) {
    temp_tree t;
    t.file("r/top.pf");
    t.file("r/l1/one.pf");
    t.file("r/l1/l2/two.pf");
    t.file("r/l1/l2/l3/three.pf");
    t.file("r/l1/l2/l3/l4/four.pf");
    t.file("r/l1/l2/l3/l4/l5/five.pf");
    t.file("r/other/o1.pf");
    t.file("r/other/o2.pf");
    t.dir("r/emptydir");
    const std::string r = t.path("r");
    EXPECT_EQ(walk(r, 0).size(), 1u);
    EXPECT_EQ(walk(r, 1).size(), 4u);
    EXPECT_EQ(walk(r, 4).size(), 7u);
    EXPECT_EQ(walk(r, 4294967295u).size(), 8u);
    for (uint32_t depth : {0u, 1u, 2u, 4u, 4294967295u}) {
        std::vector<std::string> want;
        expected_order(r, 0, depth, want);
        EXPECT_EQ(walk(r, depth), want) << depth;
    }
}

TEST(NameSourceWalk, TrailingSeparatorGivesTheSamePaths) {
    temp_tree t;
    t.file("p/a.pf");
    t.file("p/s/b.pf");
    EXPECT_EQ(walk(t.path("p"), 1), walk(t.path("p") + "/", 1));
    EXPECT_EQ(walk(t.path("p"), 1).size(), 2u);
}

TEST(NameSourceWalk, RelativeDirectoryWithoutSeparatorIsListed) {
    temp_tree t;
    t.file("Prefetch/a.pf");
    const fs::path old = fs::current_path();
    fs::current_path(t.root());
    const auto names = walk("Prefetch", 0);
    const auto dotted = walk("./Prefetch", 0);
    fs::current_path(old);
    EXPECT_EQ(names, std::vector<std::string>{"Prefetch/a.pf"});
    EXPECT_EQ(dotted, std::vector<std::string>{"./Prefetch/a.pf"});
}

TEST(NameSourceWalk, EmptyValueFailsAndMissingDirectoryYieldsNothing) {
    stdin_stream_ex source(nullptr);
    EXPECT_FALSE(source.open_walk("", 0, {}));
    temp_tree t;
    t.file("f.pf");
    EXPECT_TRUE(source.open_walk(t.path("no/such/dir"), 5, {}));
    std::string name = "stale";
    EXPECT_FALSE(source.next_name(name, true));
    EXPECT_TRUE(name.empty());
    // A file given as the directory lists nothing either.
    EXPECT_TRUE(walk(t.path("f.pf"), 3).empty());
}

TEST(NameSourceWalk, SymbolicLinksAreDeliveredAsFilesAndNeverFollowed) {
    temp_tree t;
    t.file("w/real.pf");
    t.file("w/sub/inner.pf");
    ASSERT_EQ(::symlink(t.path("w").c_str(), t.path("w/sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", t.path("w/up.pf").c_str()), 0);
    ASSERT_EQ(::symlink(t.path("nowhere").c_str(), t.path("w/dangling.pf").c_str()), 0);
    const auto names = walk(t.path("w"), 4294967295u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path("w/real.pf"), t.path("w/up.pf"), t.path("w/dangling.pf"),
                                     t.path("w/sub/inner.pf"), t.path("w/sub/loop")}));
    EXPECT_EQ(names.size(), 5u);
}

TEST(NameSourceWalk, UnreadableDirectoryIsSkippedQuietly) {
    temp_tree t;
    t.file("u/ok.pf");
    t.file("u/locked/hidden.pf");
    t.file("u/open/seen.pf");
    ASSERT_EQ(::chmod(t.path("u/locked").c_str(), 0), 0);
    const std::vector<std::string> want_files{t.path("u/ok.pf"), t.path("u/open/seen.pf")};
    if (::geteuid() != 0) {
        const auto names = walk(t.path("u"), 3);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
                  std::set<std::string>(want_files.begin(), want_files.end()));
        return;
    }
    // Root opens any directory whatever its mode: walk as an unprivileged user in a child.
    for (const char* d : {"", "u", "u/open"}) ASSERT_EQ(::chmod(t.path(d).c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t k_nobody = 65534;
        if (::setgid(k_nobody) != 0 || ::setuid(k_nobody) != 0) ::_exit(2);
        const auto names = walk(t.path("u"), 3);
        const bool ok = std::set<std::string>(names.begin(), names.end()) ==
                        std::set<std::string>(want_files.begin(), want_files.end());
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(NameSourceWalk, FilterIsAppliedToFilesNotToDirectories) {
    temp_tree t;
    t.file("f/a.pf");
    t.file("f/b.txt");
    t.file("f/x.txt/c.pf");  // a directory whose name does not fit the filter is still walked
    t.file("f/Windows/Prefetch/d.pf");
    const auto names = walk(t.path("f"), 5, parse_filter("*.pf"));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path("f/a.pf"), t.path("f/x.txt/c.pf"), t.path("f/Windows/Prefetch/d.pf")}));
    EXPECT_EQ(walk(t.path("f"), 5, parse_filter("/windows/prefetch")),
              std::vector<std::string>{t.path("f/Windows/Prefetch/d.pf")});
}

TEST(NameSourceWalk, WholeStarComponentStandsForEverySubdirectory) {
    temp_tree t;
    t.file("mnt/c/Prefetch/a.pf");
    t.file("mnt/d/Prefetch/b.pf");
    t.file("mnt/d/Prefetch/deeper/z.pf");
    t.file("mnt/e/other/c.pf");
    t.file("mnt/loose.pf");
    ASSERT_EQ(::symlink(t.path("mnt/c").c_str(), t.path("mnt/link").c_str()), 0);  // not a directory
    const auto names = walk(t.path("mnt/*/Prefetch"), 0);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path("mnt/c/Prefetch/a.pf"), t.path("mnt/d/Prefetch/b.pf")}));
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(walk(t.path("mnt/*/Prefetch/"), 1).size(), 3u);
    // A lone star at the end: every subdirectory of mnt, not the files beside them.
    const auto subdirs = walk(t.path("mnt/*"), 0);
    EXPECT_TRUE(subdirs.empty());
    const auto deeper = walk(t.path("mnt/*"), 1);
    EXPECT_EQ(std::set<std::string>(deeper.begin(), deeper.end()),
              (std::set<std::string>{t.path("mnt/c/Prefetch/a.pf"), t.path("mnt/d/Prefetch/b.pf"),
                                     t.path("mnt/e/other/c.pf")}));
    EXPECT_TRUE(walk(t.path("nothing/*/Prefetch"), 3).empty());
}

TEST(NameSourceWalk, PartialStarMatchesNamesLikeAShellGlob) {
    temp_tree t;
    t.file("data/pfa.pf");
    t.file("data/pfb.txt");
    t.file("data/other.pf");
    t.file("data/pfdir/inner.pf");
    t.file("data/pfdir/deep/d.pf");
    t.file("vol/case1/Prefetch/x.pf");
    t.file("vol/case2/Prefetch/y.pf");
    t.file("vol/old/Prefetch/z.pf");

    // Last component: matching files are delivered, matching directories become walk roots.
    auto names = walk(t.path("data/pf*"), 0);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path("data/pfa.pf"), t.path("data/pfb.txt"), t.path("data/pfdir/inner.pf")}));
    names = walk(t.path("data/pf*"), 1);
    EXPECT_EQ(names.size(), 4u);
    names = walk(t.path("data/*.pf"), 0);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path("data/pfa.pf"), t.path("data/other.pf")}));
    // The -filter list still applies to what the pattern selects.
    EXPECT_EQ(walk(t.path("data/pf*"), 0, parse_filter("*.txt")), std::vector<std::string>{t.path("data/pfb.txt")});
    // A middle component: only directories match.
    names = walk(t.path("vol/case*/Prefetch"), 0);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path("vol/case1/Prefetch/x.pf"), t.path("vol/case2/Prefetch/y.pf")}));
    EXPECT_TRUE(walk(t.path("vol/*.pf/Prefetch"), 0).empty());
    EXPECT_TRUE(walk(t.path("data/zz*"), 5).empty());
}

TEST(NameSourceWalk, StarsInNamesFoundDuringTheWalkAreLiteral) {
    temp_tree t;
    t.file("s/a*b/x.pf");
    t.file("s/aXb/y.pf");
    const auto names = walk(t.path("s"), 1);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path("s/a*b/x.pf"), t.path("s/aXb/y.pf")}));
    EXPECT_EQ(names.size(), 2u);
}

TEST(NameSourceWalk, NamesThatAreNotUtf8AreDeliveredUnchanged) {
    temp_tree t;
    const std::string odd = "\xFF\xFE-bad";
    t.file(odd + "/in.pf");
    t.file("n\xE9.pf");
    const auto names = walk(t.root(), 1);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{t.path(odd + "/in.pf"), t.path("n\xE9.pf")}));
}

TEST(NameSourceWalk, CurrentDirectoryIsTheOneListedLast) {
    temp_tree t;
    t.file("c/sub/a.pf");
    stdin_stream_ex source(nullptr);
    ASSERT_TRUE(source.open_walk(t.path("c"), 1, {}));
    std::string name;
    ASSERT_TRUE(source.next_name(name, true));
    EXPECT_EQ(name, t.path("c/sub/a.pf"));
    EXPECT_EQ(source.current_directory(), t.path("c/sub/"));
    EXPECT_FALSE(source.next_name(name, true));
}

TEST(NameSourceWalk, HoldsOneListingPlusThePendingStacks) {
    temp_tree t;
    constexpr size_t k_big = 3000;
    for (size_t i = 0; i < k_big; ++i) t.file("m/big/f" + std::to_string(i) + ".pf");
    for (size_t d = 0; d < 20; ++d)
        for (size_t i = 0; i < 5; ++i) t.file("m/d" + std::to_string(d) + "/g" + std::to_string(i) + ".pf");
    stdin_stream_ex source(nullptr);
    ASSERT_TRUE(source.open_walk(t.path("m"), 1, {}));
    std::string name;
    size_t count = 0, max_files = 0, max_dirs = 0;
    while (source.next_name(name, true)) {
        ++count;
        max_files = std::max(max_files, source.pending_file_count());
        max_dirs = std::max(max_dirs, source.pending_dir_count());
        // Once a name from another directory comes out, the big listing is entirely gone.
        if (name.find("/big/") == std::string::npos) {
            EXPECT_LE(source.pending_file_count(), 5u) << name;
        }
    }
    EXPECT_EQ(count, k_big + 100);
    EXPECT_LT(max_files, k_big);  // one name was already taken off when it was measured
    EXPECT_LE(max_dirs, 21u);
}

TEST(DirectoryListing, ListDirectoryTypesEntriesAndKeepsEveryNameForStarDotStar) {
    temp_tree t;
    t.file("l/noext");
    t.file("l/a.pf");
    t.dir("l/sub");
    ASSERT_EQ(::symlink(t.path("l/sub").c_str(), t.path("l/lnk").c_str()), 0);
    const auto nodes = qnportdir::list_directory(t.path("l"), "*.*");
    ASSERT_EQ(nodes.size(), 4u);
    for (const auto& n : nodes) {
        if (n.is_dir()) {
            EXPECT_EQ(n.path, t.path("l/sub/"));
            EXPECT_TRUE(n.name.empty());
        } else {
            EXPECT_EQ(n.path, t.path("l/" + n.name));
            EXPECT_NE(n.name, "sub");
        }
    }
    EXPECT_EQ(qnportdir::list_directory(t.path("l"), "*.pf").size(), 1u);
    EXPECT_TRUE(qnportdir::list_directory(std::string(), "*.*").empty());
    const std::string l = t.path("l");
    const auto wide = qnportdir::list_directory(std::u32string(l.begin(), l.end()), U"*.*");
    EXPECT_EQ(wide.size(), 4u);
}

TEST(DirectoryListing, StripLongPrefix) {
    using qnportdir::strip_long_prefix;
    auto strip = [](std::string s) {
        strip_long_prefix(s);
        return s;
    };
    EXPECT_EQ(strip("\\\\?\\C:\\Windows\\Prefetch"), "C:\\Windows\\Prefetch");
    EXPECT_EQ(strip("\\\\?\\"), "\\\\?\\");  // nothing after the prefix
    EXPECT_EQ(strip("/data/x"), "/data/x");
    const std::string global = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1\\Windows";
    ASSERT_GT(global.size(), 46u);
    EXPECT_EQ(strip(global), global);
    EXPECT_EQ(strip("\\\\?\\globalroot\\x"), "globalroot\\x");  // too short to be a device path
    std::u32string wide = U"\\\\?\\C:\\x";
    strip_long_prefix(wide);
    EXPECT_EQ(wide, U"C:\\x");
}

TEST(DirectoryListing, GlobMatch) {
    using qnportdir::glob_match;
    EXPECT_TRUE(glob_match("pf*", "pf"));
    EXPECT_TRUE(glob_match("pf*", "pfabc"));
    EXPECT_FALSE(glob_match("pf*", "Pfabc"));
    EXPECT_TRUE(glob_match("*.pf", ".pf"));
    EXPECT_TRUE(glob_match("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(glob_match("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(glob_match("**", ""));
    EXPECT_FALSE(glob_match("a", ""));
    EXPECT_TRUE(glob_match(std::string(50, '*') + "b", std::string(5000, 'a') + "b"));
}

}  // namespace
