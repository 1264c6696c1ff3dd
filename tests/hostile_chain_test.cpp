// Hostile input through the whole per-file chain: every real file cut short at many lengths and
// with single bytes corrupted, the inputs the fuzzers once found faulty, and images built to make
// the parse results as large as possible. Each must end cleanly: no exception, no report that
// loses its shape, and memory that stays proportional to the image.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "hostile_chain.h"
#include "worst_images.h"
#include "xpress_test_encoder.h"

namespace fs = std::filesystem;

namespace {

// Instrumented builds run each input many times slower; they take every k_thin-th case.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool k_instrumented = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool k_instrumented = true;
#else
constexpr bool k_instrumented = false;
#endif
#else
constexpr bool k_instrumented = false;
#endif
constexpr size_t k_thin = k_instrumented ? 4 : 1;

std::vector<uint8_t> read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<fs::path> files_under(const fs::path& dir, const std::string& extension) {
    std::vector<fs::path> files;
    if (!fs::exists(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The real prefetch files (not the regression inputs, which have their own test).
std::vector<fs::path> real_files() {
    std::vector<fs::path> files;
    for (const fs::path& p : files_under(RUNTRAIL_TEST_DATA, ".pf"))
        if (p.parent_path().filename() != "regressions") files.push_back(p);
    return files;
}

struct chain_runner {
    runtrail_user_context parsed{0};
    std::vector<hostile_chain::variant> variants = hostile_chain::make_variants();
    size_t runs = 0;
    size_t reports = 0;

    // One input through the chain; `setting` picks the option setting (all of them by default).
    void check(const std::vector<uint8_t>& bytes, size_t length, const std::string& what,
               size_t setting = hostile_chain::k_all_settings) {
        ++runs;
        hostile_chain::outcome result;
        try {
            result = hostile_chain::run(bytes.data(), length, parsed, variants, setting);
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": exception " << e.what();
            return;
        }
        if (result.parsed) ++reports;
        EXPECT_EQ(result.fault, "") << what;
    }
};

// Cut lengths: every length for a small file; for a larger one every length of the header
// (through the 228 bytes an image needs), a spread over the file and its last bytes.
std::vector<size_t> cut_lengths(size_t size) {
    constexpr size_t k_small_file = 4096;
    constexpr size_t k_header_lengths = 240;
    constexpr size_t k_spread = 128;
    constexpr size_t k_tail = 8;
    std::vector<size_t> lengths;
    if (size <= k_small_file) {
        for (size_t n = 0; n < size; n += k_thin) lengths.push_back(n);
        return lengths;
    }
    for (size_t n = 0; n < k_header_lengths; n += k_thin) lengths.push_back(n);
    for (size_t i = 0; i < k_spread; i += k_thin)
        lengths.push_back(k_header_lengths + (size - k_header_lengths) * i / k_spread);
    for (size_t n = size - k_tail; n < size; ++n) lengths.push_back(n);
    return lengths;
}

// Positions to corrupt: the header fields the parser reads (version and signature, recorded
// size, section offsets and counts, run counts and run times; for a container its header and
// first Huffman table), then a spread over the rest.
std::vector<size_t> corrupt_positions(size_t size) {
    std::vector<size_t> positions;
    for (size_t p = 0; p < 0x10; ++p) positions.push_back(p);
    for (size_t p = 0x54; p < 0x78; ++p) positions.push_back(p);
    for (size_t p = 0x78; p < 0xD8; p += 4) positions.push_back(p + 3);  // high byte of each word
    constexpr size_t k_spread = 32;
    for (size_t i = 0; i < k_spread; ++i) positions.push_back(0xD8 + (size > 0xD8 ? (size - 0xD8) * i / k_spread : 0));
    positions.erase(std::remove_if(positions.begin(), positions.end(), [size](size_t p) { return p >= size; }),
                    positions.end());
    return positions;
}

}  // namespace

TEST(HostileChain, RealFilesCutShortEndCleanly) {
    const std::vector<fs::path> files = real_files();
    ASSERT_GE(files.size(), 40u);
    chain_runner runner;
    for (const fs::path& path : files) {
        const std::vector<uint8_t> bytes = read_all(path);
        // The whole file first, in every setting: every real file is reported, with its shape.
        const size_t before = runner.reports;
        runner.check(bytes, bytes.size(), path.string());
        EXPECT_EQ(runner.reports - before, path.parent_path().filename() == "Bad" ? 0u : 1u) << path;
        for (size_t n : cut_lengths(bytes.size()))
            runner.check(bytes, n, path.string() + " cut at " + std::to_string(n), n % hostile_chain::k_settings);
    }
    // Cuts past the header of a plain image still give a (shorter) report.
    EXPECT_GT(runner.reports, runner.runs / 8);
}

TEST(HostileChain, RealFilesWithOneByteCorruptedEndCleanly) {
    chain_runner runner;
    size_t k = 0;
    for (const fs::path& path : real_files()) {
        std::vector<uint8_t> bytes = read_all(path);
        for (size_t p : corrupt_positions(bytes.size())) {
            const uint8_t original = bytes[p];
            const uint8_t values[] = {0x00, 0xFF, static_cast<uint8_t>(original ^ 0x80)};
            for (size_t v = 0; v < std::size(values); ++v) {
                const uint8_t value = values[v];
                if (value == original || (k++ % k_thin) != 0) continue;
                bytes[p] = value;
                runner.check(bytes, bytes.size(), path.string() + " byte " + std::to_string(p) + " = " +
                                                      std::to_string(value), k / k_thin % hostile_chain::k_settings);
            }
            bytes[p] = original;
        }
    }
    EXPECT_GT(runner.runs, 4000u / k_thin);
}

// Inputs the fuzzers found faulty once; each is replayed in every setting.
TEST(HostileChain, FuzzerFindingsEndCleanly) {
    chain_runner runner;
    for (const fs::path& path : files_under(fs::path(RUNTRAIL_TEST_DATA) / "regressions", "")) {
        if (path.extension() == ".md") continue;
        const std::vector<uint8_t> bytes = read_all(path);
        runner.check(bytes, bytes.size(), path.string());
    }
}

// An image built for the largest parse results: the module list stays within one entry per 20
// bytes of image (the smallest metrics entry), and the directory list, however many strings the
// volume claims, within the image's bytes at 38 per one-character string.
TEST(HostileChain, ParseResultsStayProportionalToTheImage) {
    constexpr size_t k_size = size_t{1} << 20;
    const std::vector<uint8_t> image = worst_images::many_entries(k_size);
    runtrail_user_context ctx(0);
    ASSERT_TRUE(parse_prefetch(image.data(), image.size(), ctx));
    EXPECT_EQ(ctx.modules.size(), k_size / 20);
    ASSERT_EQ(ctx.volume_dirs.size(), 1u);
    EXPECT_GT(ctx.volume_dirs[0].size(), k_size / 64);
    EXPECT_LE(ctx.volume_dirs[0].size(), k_size / 38);
    EXPECT_EQ(ctx.volume_dirs[0].begin()->second, "D");

    // Without a metrics count the strings block size bounds the list; a hostile size gets the
    // same cap as a hostile count, not one empty entry per two bytes.
    std::vector<uint8_t> uncounted = image;
    worst_images::put32(uncounted, 0x58, 0);
    ASSERT_TRUE(parse_prefetch(uncounted.data(), uncounted.size(), ctx));
    EXPECT_EQ(ctx.modules.size(), k_size / 20);

    // The same image in a container declaring one byte more than 16 MiB is refused, however
    // little input it takes to decode that far.
    std::vector<uint8_t> mam = xpress_test::make_mam(image);
    const uint32_t over = (uint32_t{16} << 20) + 1;
    std::memcpy(mam.data() + 4, &over, 4);
    mam.resize(std::max<size_t>(mam.size(), 64 * 1024), 0);
    ASSERT_GE(max_decodable_image(mam.size()), over);
    EXPECT_FALSE(parse_prefetch(mam.data(), mam.size(), ctx));
}

// Peak memory of the tool on the worst file found: a 35 KiB "MAM" container that decodes to a
// 16 MiB image of empty module strings and one-character directories. Measured on the built
// program in a child process; instrumented builds use several times the memory and are skipped.
TEST(HostileChain, WorstContainerStaysWithinASmallMultipleOfItsImage) {
    if (k_instrumented) GTEST_SKIP() << "memory of an instrumented build says nothing about the tool";
    constexpr size_t k_image = size_t{16} << 20;
    const fs::path dir = fs::temp_directory_path() / ("runtrail_worst_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "WORST.EXE-00000000.pf";
    {
        const std::vector<uint8_t> mam = xpress_test::make_mam(worst_images::many_entries(k_image));
        EXPECT_LT(mam.size(), size_t{64} << 10);
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(mam.data()),
                                                    static_cast<std::streamsize>(mam.size()));
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string path = file.string();
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) ::_exit(127);
        ::execl(RUNTRAIL_BINARY, RUNTRAIL_BINARY, path.c_str(), "-csv", "-verbose", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    fs::remove_all(dir);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);  // reported
    const size_t peak = static_cast<size_t>(usage.ru_maxrss) * 1024;
    std::cout << "peak memory for a 16 MiB worst image: " << peak / (1024 * 1024) << " MiB\n";
    EXPECT_LT(peak, 10 * k_image);
}
