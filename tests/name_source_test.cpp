#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "directory_listing.h"
#include "name_source.h"

namespace fs = std::filesystem;
using qnportdir::stdin_stream_ex;
using Names = std::vector<std::string>;

namespace {

Names read_all_lines(const std::string& input, bool strip) {
    std::FILE* f = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), f);
    std::rewind(f);
    stdin_stream_ex source(f);
    EXPECT_TRUE(source.open_stdin());
    Names names;
    std::string name;
    while (source.next_name(name, strip)) names.push_back(name);
    EXPECT_TRUE(name.empty());
    EXPECT_TRUE(source.current_directory().empty());
    std::fclose(f);
    return names;
}

TEST(NameSourceStdin, LinesPiecesAndLineEnds) {
    const std::string x(4095, 'x'), y(4095, 'y'), z(4095, 'z');
    const struct {
        std::string input;
        bool strip;
        Names want;
    } cases[] = {
        {"a.pf\r\n/dir with space/B.pf\n\n\r\n  lead.pf\t\nmissing/no.pf\nlast.pf", true,
         {"a.pf", "/dir with space/B.pf", "", "", "  lead.pf\t", "missing/no.pf", "last.pf"}},
        {"a.pf\r\nb", false, {"a.pf\r\n", "b"}},
        // Only line ends at the end go: a carriage return that starts a line is part of the name.
        {"a.pf\r\r\n\rb.pf\n", true, {"a.pf", "\rb.pf"}},
        // Pieces of 4095 bytes; a line end right after a full piece comes as an empty piece.
        {x + std::string(905, 'x') + "\n" + y + "\n" + z + "z", true, {x, std::string(905, 'x'), y, "", z, "z"}},
        // A line holding a zero byte is delivered empty: opening its text would open "a.pf".
        {std::string("a.pf\0evil\nb.pf\n", 15), true, {"", "b.pf"}},
        {"", true, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(read_all_lines(c.input, c.strip), c.want) << c.input.substr(0, 20);
}

class temp_tree {
public:
    temp_tree() {
        std::string pattern = (fs::temp_directory_path() / "runtrail-walk-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
    }
    ~temp_tree() {
        std::error_code ec;  // give back permissions a test took away, so everything can be removed
        for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
        fs::remove_all(root_, ec);
    }
    const std::string& root() const { return root_; }
    std::string path(const std::string& rel) const { return root_ + "/" + rel; }
    void files(std::initializer_list<std::string> rels) const {
        for (const auto& rel : rels) {
            fs::create_directories(fs::path(path(rel)).parent_path());
            std::ofstream(path(rel)) << "x";
        }
    }
    void link(const std::string& target, const std::string& rel) const {
        ASSERT_EQ(::symlink(target.c_str(), path(rel).c_str()), 0);
    }

private:
    std::string root_;
};

Names walk(const std::string& dir, uint32_t depth, const std::vector<filter_entry>& filters = {}) {
    stdin_stream_ex source(nullptr);
    Names names;
    if (!source.open_walk(dir, depth, filters)) return names;
    std::string name;
    while (source.next_name(name, true)) names.push_back(name);
    return names;
}

// The walk order stated independently: files of a directory in reverse listing order, then its
// subdirectories, last listed first, each walked completely, down to max_depth.
void expected_order(const std::string& dir, uint32_t depth, uint32_t max_depth, Names& out) {
    std::vector<std::pair<std::string, bool>> entries;
    DIR* d = opendir(dir.c_str());
    while (const dirent* e = d ? readdir(d) : nullptr) {
        const std::string name = e->d_name;
        struct stat st;
        if (name != "." && name != "..")
            entries.emplace_back(name, lstat((dir + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    }
    if (d) closedir(d);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (!it->second) out.push_back(dir + "/" + it->first);
    for (auto it = entries.rbegin(); depth < max_depth && it != entries.rend(); ++it)
        if (it->second) expected_order(dir + "/" + it->first, depth + 1, max_depth, out);
}

TEST(NameSourceWalk, OrderAndDepthLimits) {
    temp_tree t;
    t.files({"r/b.pf", "r/a.pf", "r/l1/one.pf", "r/l1/l2/two.pf", "r/l1/l2/l3/three.pf", "r/l1/l2/l3/l4/four.pf",
             "r/l1/l2/l3/l4/l5/five.pf", "r/other/o1.pf", "r/other/o2.pf"});
    fs::create_directories(t.path("r/emptydir"));
    const std::pair<uint32_t, size_t> depths[] = {{0, 2}, {1, 5}, {2, 6}, {4, 8}, {4294967295u, 9}};
    for (const auto& [depth, count] : depths) {
        Names want;
        expected_order(t.path("r"), 0, depth, want);
        const Names got = walk(t.path("r"), depth);
        EXPECT_EQ(got, want) << depth;
        EXPECT_EQ(got.size(), count) << depth;
    }
    // Both root files come before anything below it.
    Names one = walk(t.path("r"), 1);
    std::sort(one.begin(), one.begin() + 2);
    EXPECT_EQ(Names(one.begin(), one.begin() + 2), (Names{t.path("r/a.pf"), t.path("r/b.pf")}));
}

// One tree, many walks: which names come out (order aside) for a directory value, depth and -filter.
TEST(NameSourceWalk, StarsFiltersLinksAndOddNames) {
    temp_tree t;
    t.files({"f/a.pf", "f/b.txt", "f/x.txt/c.pf", "f/Windows/Prefetch/d.pf", "mnt/c/Prefetch/a.pf",
             "mnt/d/Prefetch/b.pf", "mnt/d/Prefetch/deeper/z.pf", "mnt/e/other/c.pf", "mnt/loose.pf", "data/pfa.pf",
             "data/pfb.txt", "data/other.pf", "data/pfdir/inner.pf", "data/pfdir/deep/d.pf",
             "vol/case1/Prefetch/x.pf", "vol/case2/Prefetch/y.pf", "vol/old/Prefetch/z.pf", "s/a*b/x.pf",
             "s/aXb/y.pf", "w/real.pf", "w/sub/inner.pf", "n/\xFF\xFE-bad/in.pf", "n/n\xE9.pf"});
    t.link(t.path("mnt/c"), "mnt/link");  // a link to a directory is not a directory
    t.link(t.path("w"), "w/sub/loop");
    t.link("..", "w/up.pf");
    t.link(t.path("nowhere"), "w/dangling.pf");
    const struct {
        const char* dir;
        uint32_t depth;
        const char* filter;
        Names want;
    } cases[] = {
        // -filter applies to files, never to the directories walked through.
        {"f", 5, "*.pf", {"f/Windows/Prefetch/d.pf", "f/a.pf", "f/x.txt/c.pf"}},
        {"f/", 5, "*.pf", {"f/Windows/Prefetch/d.pf", "f/a.pf", "f/x.txt/c.pf"}},
        {"f", 5, "/windows/prefetch", {"f/Windows/Prefetch/d.pf"}},
        // A whole star component stands for every subdirectory (links excluded).
        {"mnt/*/Prefetch", 0, nullptr, {"mnt/c/Prefetch/a.pf", "mnt/d/Prefetch/b.pf"}},
        {"mnt/*/Prefetch/", 1, nullptr, {"mnt/c/Prefetch/a.pf", "mnt/d/Prefetch/b.pf", "mnt/d/Prefetch/deeper/z.pf"}},
        {"mnt/*", 0, nullptr, {}},
        {"mnt/*", 1, nullptr, {"mnt/c/Prefetch/a.pf", "mnt/d/Prefetch/b.pf", "mnt/e/other/c.pf"}},
        {"nothing/*/Prefetch", 3, nullptr, {}},
        // A partial star is a shell glob: last component files and walk roots, middle ones directories.
        {"data/pf*", 0, nullptr, {"data/pfa.pf", "data/pfb.txt", "data/pfdir/inner.pf"}},
        {"data/pf*", 1, nullptr, {"data/pfa.pf", "data/pfb.txt", "data/pfdir/deep/d.pf", "data/pfdir/inner.pf"}},
        {"data/*.pf", 0, nullptr, {"data/other.pf", "data/pfa.pf"}},
        {"data/pf*", 0, "*.txt", {"data/pfb.txt"}},
        {"data/zz*", 5, nullptr, {}},
        {"vol/case*/Prefetch", 0, nullptr, {"vol/case1/Prefetch/x.pf", "vol/case2/Prefetch/y.pf"}},
        {"vol/*.pf/Prefetch", 0, nullptr, {}},
        // Stars in names found during the walk are literal.
        {"s", 1, nullptr, {"s/a*b/x.pf", "s/aXb/y.pf"}},
        // Links come out as files and are never followed.
        {"w", 4294967295u, nullptr, {"w/dangling.pf", "w/real.pf", "w/sub/inner.pf", "w/sub/loop", "w/up.pf"}},
        {"n", 1, nullptr, {"n/\xFF\xFE-bad/in.pf", "n/n\xE9.pf"}},
        {"f/a.pf", 3, nullptr, {}},
        {"no/such/dir", 5, nullptr, {}},
    };
    for (const auto& c : cases) {
        Names got = walk(t.path(c.dir), c.depth, c.filter ? parse_filter(c.filter) : std::vector<filter_entry>{});
        Names want;
        for (const auto& w : c.want) want.push_back(t.path(w));
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << c.dir << " depth " << c.depth;
    }
}

TEST(NameSourceWalk, RelativeEmptyAndCurrentDirectory) {
    temp_tree t;
    t.files({"Prefetch/a.pf", "c/sub/a.pf"});
    const fs::path old = fs::current_path();
    fs::current_path(t.root());
    const Names names = walk("Prefetch", 0), dotted = walk("./Prefetch", 0);
    fs::current_path(old);
    EXPECT_EQ(names, Names{"Prefetch/a.pf"});
    EXPECT_EQ(dotted, Names{"./Prefetch/a.pf"});

    stdin_stream_ex source(nullptr);
    EXPECT_FALSE(source.open_walk("", 0, {}));
    ASSERT_TRUE(source.open_walk(t.path("c"), 1, {}));
    std::string name;
    ASSERT_TRUE(source.next_name(name, true));
    EXPECT_EQ(name, t.path("c/sub/a.pf"));
    EXPECT_EQ(source.current_directory(), t.path("c/sub/"));
    EXPECT_FALSE(source.next_name(name, true));
    EXPECT_TRUE(name.empty());
}

TEST(NameSourceWalk, UnreadableDirectoryIsSkippedQuietly) {
    temp_tree t;
    t.files({"u/ok.pf", "u/locked/hidden.pf", "u/open/seen.pf"});
    ASSERT_EQ(::chmod(t.path("u/locked").c_str(), 0), 0);
    const auto walk_ok = [&] {
        Names names = walk(t.path("u"), 3);
        std::sort(names.begin(), names.end());
        return names == Names{t.path("u/ok.pf"), t.path("u/open/seen.pf")};
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(walk_ok());
        return;
    }
    // Root opens any directory whatever its mode: walk as an unprivileged user in a child.
    for (const char* d : {"", "u", "u/open"}) ASSERT_EQ(::chmod(t.path(d).c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t k_nobody = 65534;
        if (::setgid(k_nobody) != 0 || ::setuid(k_nobody) != 0) ::_exit(2);
        ::_exit(walk_ok() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(NameSourceWalk, HoldsOneListingPlusThePendingStacks) {
    temp_tree t;
    constexpr size_t k_big = 3000;
    for (size_t i = 0; i < k_big; ++i) t.files({"m/big/f" + std::to_string(i) + ".pf"});
    for (size_t d = 0; d < 100; ++d) t.files({"m/d" + std::to_string(d / 5) + "/g" + std::to_string(d % 5) + ".pf"});
    stdin_stream_ex source(nullptr);
    ASSERT_TRUE(source.open_walk(t.path("m"), 1, {}));
    std::string name;
    size_t count = 0, max_files = 0, max_dirs = 0;
    while (source.next_name(name, true)) {
        ++count;
        max_files = std::max(max_files, source.pending_file_count());
        max_dirs = std::max(max_dirs, source.pending_dir_count());
        // Once a name from another directory comes out, the big listing is entirely gone.
        EXPECT_TRUE(name.find("/big/") != std::string::npos || source.pending_file_count() <= 5u) << name;
    }
    EXPECT_EQ(count, k_big + 100);
    EXPECT_LT(max_files, k_big);  // one name was already taken off when it was measured
    EXPECT_LE(max_dirs, 21u);
}

TEST(DirectoryListing, ListingPrefixAndGlob) {
    temp_tree t;
    t.files({"l/noext", "l/a.pf"});
    fs::create_directories(t.path("l/sub"));
    t.link(t.path("l/sub"), "l/lnk");
    const auto nodes = qnportdir::list_directory(t.path("l"), "*.*");  // keeps names without a dot
    ASSERT_EQ(nodes.size(), 4u);
    for (const auto& n : nodes) EXPECT_EQ(n.path, n.is_dir() ? t.path("l/sub/") : t.path("l/" + n.name));
    EXPECT_EQ(qnportdir::list_directory(t.path("l"), "*.pf").size(), 1u);
    EXPECT_TRUE(qnportdir::list_directory(std::string(), "*.*").empty());
    const std::string l = t.path("l");
    EXPECT_EQ(qnportdir::list_directory(std::u32string(l.begin(), l.end()), U"*.*").size(), 4u);

    const std::string global = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1\\Windows";
    const std::pair<std::string, std::string> prefixes[] = {
        {"\\\\?\\C:\\Windows\\Prefetch", "C:\\Windows\\Prefetch"},
        {"\\\\?\\", "\\\\?\\"},  // nothing after the prefix
        {"/data/x", "/data/x"},
        {global, global},
        {"\\\\?\\globalroot\\x", "globalroot\\x"},  // too short to be a device path
    };
    for (auto [in, want] : prefixes) EXPECT_EQ((qnportdir::strip_long_prefix(in), in), want);
    std::u32string wide = U"\\\\?\\C:\\x";
    qnportdir::strip_long_prefix(wide);
    EXPECT_EQ(wide, U"C:\\x");

    const std::tuple<std::string, std::string, bool> globs[] = {
        {"pf*", "pf", true},       {"pf*", "pfabc", true},        {"pf*", "Pfabc", false},
        {"*.pf", ".pf", true},     {"a*b*c", "aXbYbZc", true},    {"a*b*c", "aXbYbZ", false},
        {"**", "", true},          {"a", "", false},
        {std::string(50, '*') + "b", std::string(5000, 'a') + "b", true},
    };
    for (const auto& [pattern, name, match] : globs) EXPECT_EQ(qnportdir::glob_match(pattern, name), match) << pattern;
}

}  // namespace
