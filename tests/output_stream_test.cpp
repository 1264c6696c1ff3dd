#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "output_stream.h"

namespace {

// Records every block handed on, to see exactly when the buffer writes.
class recording_buf : public uni::streambuf_generic_output<char> {
public:
    explicit recording_buf(uint32_t size) : streambuf_generic_output(size) {}
    int64_t write_block(const char* data, int64_t length) override {
        if (fail_after >= 0 && static_cast<int>(blocks.size()) >= fail_after) return -1;
        blocks.emplace_back(data, static_cast<size_t>(length));
        return length;
    }
    std::vector<std::string> blocks;
    int fail_after = -1;
};

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string stream_dir() {
    static const std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "rt_outXXXXXX").string();
        return std::string(mkdtemp(t.data()));
    }();
    return dir;
}

}  // namespace

TEST(OutputBuffer, BlocksAtTheBufferBoundary) {
    const uint32_t size = uni::k_output_buffer_size;
    {
        recording_buf buf(size);  // one byte under the buffer: one block, at the flush
        std::ostream out(&buf);
        out << pattern(size - 1);
        EXPECT_TRUE(buf.blocks.empty());
        out.flush();
        ASSERT_EQ(buf.blocks.size(), 1u);
        EXPECT_EQ(buf.blocks[0].size(), size - 1);
    }
    {
        recording_buf buf(size);  // exactly the buffer: one full block when it overflows
        std::ostream out(&buf);
        const std::string text = pattern(size);
        for (char c : text) out.put(c);
        ASSERT_EQ(buf.blocks.size(), 1u);
        EXPECT_EQ(buf.blocks[0], text);
        out.flush();
        EXPECT_EQ(buf.blocks.size(), 1u);
    }
}

TEST(OutputBuffer, FailedBlockMakesTheStreamBadAndDropsTheRest) {
    recording_buf buf(16);
    buf.fail_after = 1;
    std::ostream out(&buf);
    out << "0123456789abcdef";  // first block goes
    out << "0123456789abcdef";  // second block fails
    out.flush();
    EXPECT_TRUE(out.bad());
    EXPECT_TRUE(buf.failed());
    EXPECT_EQ(buf.blocks.size(), 1u);
    EXPECT_EQ(buf.flush_buffer(), -1);
}

TEST(ResultsFile, ReportArrivesByteIdenticalAroundTheBufferSize) {
    for (size_t n : {size_t{0}, size_t{1}, size_t{0x3FFFF}, size_t{0x40000}, size_t{0x40001}, size_t{0x40000 * 3 + 5}}) {
        const std::string path = stream_dir() + "/r" + std::to_string(n);
        const std::string text = pattern(n);
        uni::fileio file;
        ASSERT_TRUE(file.open(path, true, false, true));
        std::ostream* out = uni::attach_output_stream(file);
        ASSERT_NE(out, nullptr);
        // Mixed small and large writes, as a report writer does.
        const size_t half = n / 2;
        for (size_t i = 0; i < half; ++i) out->put(text[i]);
        out->write(text.data() + half, static_cast<std::streamsize>(n - half));
        EXPECT_TRUE(file.close());
        EXPECT_EQ(slurp(path), text) << n;
    }
}

TEST(ResultsFile, FullDiskIsReportedByClose) {
    uni::fileio file;
    ASSERT_TRUE(file.open(std::string("/dev/full"), true, false, false));
    std::ostream* out = uni::attach_output_stream(file);
    ASSERT_NE(out, nullptr);
    *out << "report";
    EXPECT_FALSE(file.close());

    uni::fileio closed;
    EXPECT_EQ(uni::attach_output_stream(closed), nullptr);
}

TEST(ResultsFile, MemoryModeAndNullStream) {
    uni::fileio mem;
    mem.open_memory();
    std::ostream* out = uni::attach_output_stream(mem);
    ASSERT_NE(out, nullptr);
    *out << "in memory";
    out->flush();
    EXPECT_EQ(std::string(mem.memory().begin(), mem.memory().end()), "in memory");

    std::ostream& null = uni::null_stream();
    null << pattern(1 << 20) << 42 << std::endl;
    EXPECT_TRUE(null.good());
}
