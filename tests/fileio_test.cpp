#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fileio.h"
#include "qn_time.h"

namespace {

std::string fileio_dir() {
    static const std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "rt_fioXXXXXX").string();
        return std::string(mkdtemp(t.data()));
    }();
    return dir;
}

std::string write_file(const std::string& name, const std::string& content) {
    const std::string path = fileio_dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// A sparse file of `size` bytes whose first bytes are `head`.
std::string sparse_file(const std::string& name, uint64_t size, const std::string& head) {
    const std::string path = write_file(name, head);
    EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    return path;
}

constexpr uint64_t k_cap = 0x1000000;

}  // namespace

TEST(ReadFile, WholeFileFailuresAndCapBoundaries) {
    std::vector<uint8_t> buffer{1, 2, 3};
    const std::string small = write_file("small-latin1-\xE9.bin", "SCCA\x11");  // a name that is not UTF-8
    ASSERT_TRUE(uni::read_file(buffer, small, k_cap));
    EXPECT_EQ(buffer, (std::vector<uint8_t>{'S', 'C', 'C', 'A', 0x11}));
    EXPECT_FALSE(uni::read_file(buffer, small, 0));
    const std::string fifo = fileio_dir() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Empty, missing, a directory, a device, a fifo (refused, never blocks) and /proc/self/mem, which
    // cannot seek to its end and whose first page cannot be read.
    for (const std::string& path : {std::string(), write_file("empty.bin", ""), fileio_dir() + "/missing.bin",
                                    fileio_dir(), std::string("/dev/zero"), fifo, std::string("/proc/self/mem")}) {
        EXPECT_FALSE(uni::read_file(buffer, path, k_cap)) << path;
        EXPECT_TRUE(buffer.empty()) << path;
    }
    uni::fileio f;
    EXPECT_FALSE(f.open(fifo, false));
    EXPECT_FALSE(f.is_open());

    // At, just over and well over the cap, and 4 GiB + 10 bytes (whose low 32 size bits say 10):
    // always the first 16 MiB.
    for (uint64_t size : {k_cap, k_cap + 1, uint64_t{20} << 20, (uint64_t{1} << 32) + 10}) {
        const std::string path = sparse_file("big.bin", size, "B");
        ASSERT_TRUE(uni::read_file(buffer, path, k_cap)) << size;
        EXPECT_EQ(buffer.size(), k_cap) << size;
        EXPECT_EQ(buffer[0], 'B') << size;
        std::filesystem::remove(path);
    }
}

TEST(FileObject, ReadAtAndAppend) {
    const std::string path = write_file("rw.bin", "0123456789");
    uni::fileio f;
    ASSERT_TRUE(f.open(path + "//", false));  // trailing separators are dropped
    EXPECT_EQ(f.size(), 10u);
    std::vector<uint8_t> b;
    EXPECT_FALSE(f.read_at(b, 1, 10));  // offset at the size
    ASSERT_TRUE(f.read_at(b, 100, 7));  // more than the rest: the rest
    EXPECT_EQ(std::string(b.begin(), b.end()), "789");
    b.assign(2, 'x');
    EXPECT_TRUE(f.read_at(b, 0, 3));
    EXPECT_EQ(b.size(), 2u);  // a zero count leaves the buffer
    EXPECT_FALSE(f.append("x", 1));  // opened read-only
    f.close();
    EXPECT_FALSE(f.read_at(b, 1, 0));

    ASSERT_TRUE(f.open(path, true, false, false));
    ASSERT_TRUE(f.read_at(b, 2, 0));
    ASSERT_TRUE(f.append("AB", 2));  // always at the end
    EXPECT_EQ(f.cached_size(), 12u);
    EXPECT_TRUE(f.close());
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "0123456789AB");

    uni::fileio full;
    ASSERT_TRUE(full.open(std::string("/dev/full"), true, false, false));
    EXPECT_FALSE(full.append("x", 1));

    uni::fileio mem;
    mem.open_memory({'a', 'b'});
    EXPECT_TRUE(mem.is_open());
    ASSERT_TRUE(mem.append("cd", 2));
    ASSERT_TRUE(mem.read_at(b, 10, 1));
    EXPECT_EQ(std::string(b.begin(), b.end()), "bcd");
    EXPECT_FALSE(mem.open(std::string("/dev/null"), false));
}

TEST(FileStats, TimesKeepAllSixtyFourBits) {
    const std::string path = write_file("times.bin", "12345");
    // mtime 2100-01-01 00:00:00.5 UTC (past the 32-bit limit), atime 1960-01-01 00:00:00 UTC.
    const int64_t after_2038 = 4102444800;
    const int64_t before_1970 = -315619200;
    struct timespec ts[2] = {{before_1970, 0}, {after_2038, 500000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);

    uint64_t size = 0, c = 0, m = 0, a = 0;
    uint32_t mode = 0;
    ASSERT_TRUE(uni::get_file_stats(path, size, mode, c, m, a));
    EXPECT_EQ(size, 5u);
    EXPECT_TRUE(S_ISREG(mode));
    const uint64_t epoch = qn::k_filetime_of_unix_epoch;
    EXPECT_EQ(m, epoch + static_cast<uint64_t>(after_2038) * 10000000ULL + 5000000ULL);
    EXPECT_EQ(a, epoch - static_cast<uint64_t>(-before_1970) * 10000000ULL);
    qn::time mt(static_cast<int64_t>(m), qn::type_filetime);
    EXPECT_EQ(mt.systemtime.year, 2100);
    qn::time at(static_cast<int64_t>(a), qn::type_filetime);
    EXPECT_EQ(at.systemtime.year, 1960);
    EXPECT_NE(c, 0u);

    std::u32string wide(path.begin(), path.end());
    ASSERT_TRUE(uni::get_file_stats(wide, size, mode, c, m, a));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(uni::get_file_stats(fileio_dir() + "/missing", size, mode, c, m, a));
    EXPECT_EQ(size + c + m + a + mode, 0u);
}
