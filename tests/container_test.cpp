#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "container.h"
#include "prefetch_parser.h"
#include "runtrail_user_context.h"
#include "xpress_adt.h"
#include "xpress_lz77.h"
#include "xpress_test_encoder.h"

namespace {

std::vector<uint8_t> read_data(const std::string& rel) {
    std::ifstream f(std::string(RUNTRAIL_TEST_DATA) + "/" + rel, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

uint32_t u32_at(const std::vector<uint8_t>& v, size_t off) {
    uint32_t x;
    std::memcpy(&x, v.data() + off, 4);
    return x;
}

std::string ascii_name_at_0x10(const std::vector<uint8_t>& img) {
    std::string s;
    for (size_t i = 0x10; i + 1 < 0x4C && img[i] != 0; i += 2) s.push_back(static_cast<char>(img[i]));
    return s;
}

std::vector<uint8_t> sample_text(size_t n, uint32_t seed) {
    // Prefetch-like content: UTF-16 path strings, runs of zeros, some noise.
    static const char* words[] = {"\\VOLUME{01d1217a9c4c6779}\\WINDOWS\\SYSTEM32\\", "NTDLL.DLL",
                                  "KERNEL32.DLL", "\\PROGRAM FILES\\", "CALC.EXE"};
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    while (v.size() < n) {
        switch (rng() % 4) {
        case 0: v.resize(v.size() + rng() % 40, 0); break;
        case 1: v.push_back(static_cast<uint8_t>(rng())); break;
        default:
            for (const char* c = words[rng() % 5]; *c; ++c) {
                v.push_back(static_cast<uint8_t>(*c));
                v.push_back(0);
            }
        }
    }
    v.resize(n);
    return v;
}

struct real_file {
    const char* path;
    uint32_t declared;
    const char* exe;
    uint32_t name_hash;  // hash in the file name, stored at 0x4C of the image
    uint32_t run_count;  // at 0xD0 (metrics offset 0x130) or 0xC8 (0x128) of the image
};

const real_file k_real_files[] = {
    {"Win10/CALC.EXE-3FBEF7FD.pf", 47848, "CALC.EXE", 0x3FBEF7FD, 2},
    {"Win10/CALCULATOR.EXE-6940BD5C.pf", 99194, "CALCULATOR.EXE", 0x6940BD5C, 1},
    {"Win10/CHROME.EXE-B3BA7868.pf", 116042, "CHROME.EXE", 0xB3BA7868, 20},
    {"Win10/CMD.EXE-D269B812.pf", 25138, "CMD.EXE", 0xD269B812, 55},
    {"Win10/DCODEDCODEDCODEDCODEDCODEDCOD-E65B9FE8.pf", 33606, "DCODEDCODEDCODEDCODEDCODEDCOD", 0xE65B9FE8, 2},
    {"Win10/DEVENV.EXE-854D7862.pf", 380690, "DEVENV.EXE", 0x854D7862, 54},
    {"Win11/103.0.5060.66_101.0.4951.67_C-5721700C.pf", 107510, "103.0.5060.66_101.0.4951.67_C", 0x5721700C, 1},
    {"Win11/AM_BASE.EXE-3F70DC95.pf", 8174, "AM_BASE.EXE", 0x3F70DC95, 2},
};

}  // namespace

TEST(Container, RealWindows10FilesDecompressToTheirDeclaredPrefetchImage) {
    for (const auto& rf : k_real_files) {
        SCOPED_TRACE(rf.path);
        std::vector<uint8_t> buf = read_data(rf.path);
        ASSERT_GT(buf.size(), 13u);
        uint32_t declared = 0;
        EXPECT_EQ(detect_container(buf.data(), buf.size(), declared), container_mam);
        EXPECT_EQ(declared, rf.declared);
        ASSERT_TRUE(unwrap_container(buf));
        ASSERT_EQ(buf.size(), rf.declared);
        EXPECT_EQ(u32_at(buf, 0), 30u);           // format version
        EXPECT_EQ(u32_at(buf, 4), 0x41434353u);  // "SCCA"
        EXPECT_EQ(u32_at(buf, 0x0C), rf.declared);
        EXPECT_EQ(u32_at(buf, 0x4C), rf.name_hash);
        EXPECT_EQ(ascii_name_at_0x10(buf), rf.exe);
        // The volume section starts with the device path "\VOLUME{...".
        const uint32_t vol = u32_at(buf, 0x6C);
        ASSERT_LT(vol + 8ull, buf.size());
        const uint32_t path = vol + u32_at(buf, vol);
        ASSERT_LT(path + 16ull, buf.size());
        EXPECT_EQ(std::memcmp(buf.data() + path, "\\\0V\0O\0L\0U\0M\0E\0{\0", 16), 0);
        // A decompressed image is no container: unwrapping again leaves it alone.
        const auto copy = buf;
        EXPECT_TRUE(unwrap_container(buf));
        EXPECT_EQ(buf, copy);
    }
}

TEST(Container, DetectionFollowsSignatureSizeAndLength) {
    uint32_t size = 99;
    std::vector<uint8_t> mam = {'M', 'A', 'M', 0x04, 0x10, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(detect_container(mam.data(), 12, size), container_none);  // 12 bytes: too short
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(detect_container(mam.data(), 13, size), container_mam);
    EXPECT_EQ(size, 16u);
    mam[3] = 0x84;  // any fourth byte
    EXPECT_EQ(detect_container(mam.data(), 13, size), container_mam);
    mam[4] = 0;  // declared size 0
    EXPECT_EQ(detect_container(mam.data(), 13, size), container_none);
    EXPECT_EQ(detect_container(nullptr, 100, size), container_none);

    std::vector<uint8_t> mem0 = {'M', 'E', 'M', '0', 1, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(detect_container(mem0.data(), mem0.size(), size), container_mem0);
    mem0[3] = '1';
    EXPECT_EQ(detect_container(mem0.data(), mem0.size(), size), container_none);

    std::vector<uint8_t> hib = {0x81, 0x81, 'x', 'p', 'r', 'e', 's', 's', 15, 0, 0, 0, 0};
    EXPECT_EQ(detect_container(hib.data(), hib.size(), size), container_xpress_block);
    EXPECT_EQ(size, 65536u);

    const auto plain = read_data("Win7/CMD.EXE-4A81B364.pf");
    EXPECT_EQ(detect_container(plain.data(), plain.size(), size), container_none);
    auto copy = plain;
    EXPECT_TRUE(unwrap_container(copy));
    EXPECT_EQ(copy, plain);
}

TEST(Container, ShortMamStreamGivesZeroImageOfDeclaredSize) {
    // 256 bytes after the header: no chunk can start, the image stays zero.
    std::vector<uint8_t> v = {'M', 'A', 'M', 0x84, 0x00, 0x10, 0, 0};
    v.resize(8 + 256, 0x5A);
    ASSERT_TRUE(unwrap_container(v));
    EXPECT_EQ(v, std::vector<uint8_t>(4096, 0));
}

TEST(Container, HostileDeclaredSizesAreRefusedWithoutLargeAllocation) {
    // 13-byte "MAM" claiming 4 GiB - 1.
    std::vector<uint8_t> v = {'M', 'A', 'M', 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0};
    const auto t0 = std::chrono::steady_clock::now();
    xpress_adt d;
    EXPECT_FALSE(decompress(d, v));
    EXPECT_TRUE(d.m_output.empty());
    EXPECT_FALSE(unwrap_container(v));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));

    // The bound is what the input can decode to: 13 bytes reach one chunk (at most 128 KiB).
    EXPECT_EQ(max_decodable_image(13), 2 * k_mam_chunk_size);
    EXPECT_EQ(max_decodable_image(8), 0u);
    v[4] = 0x00; v[5] = 0x00; v[6] = 0x02; v[7] = 0x00;  // exactly 128 KiB: accepted, zeros
    ASSERT_TRUE(unwrap_container(v));
    EXPECT_EQ(v.size(), 2 * k_mam_chunk_size);
    std::vector<uint8_t> w = {'M', 'A', 'M', 0x04, 0x01, 0x00, 0x02, 0x00, 0, 0, 0, 0, 0};  // one more
    EXPECT_FALSE(unwrap_container(w));

    // Plenty of input but a size beyond the image cap.
    std::vector<uint8_t> big = xpress_test::make_mam(sample_text(1000, 1));
    const uint32_t over = static_cast<uint32_t>(k_max_container_image + 1);
    std::memcpy(big.data() + 4, &over, 4);
    big.resize(over / 128, 0);  // enough input for the decodable bound
    ASSERT_GE(max_decodable_image(big.size()), over);
    EXPECT_FALSE(unwrap_container(big));
}

TEST(Container, MamAndMem0RoundTripsOverSeveralChunks) {
    for (bool matches : {false, true}) {
        for (size_t n : {size_t{1}, size_t{65535}, size_t{65536}, size_t{65537}, size_t{300000}}) {
            SCOPED_TRACE(std::to_string(n) + (matches ? " lz" : " literals"));
            const auto data = sample_text(n, static_cast<uint32_t>(n));
            auto mam = xpress_test::make_mam(data, matches);
            ASSERT_TRUE(unwrap_container(mam));
            EXPECT_EQ(mam, data);
            auto mem0 = xpress_test::make_mem0(data, matches);
            xpress_adt d;
            ASSERT_TRUE(decompress(d, mem0));
            EXPECT_EQ(d.m_kind, container_mem0);
            EXPECT_EQ(d.m_output, data);
        }
    }
}

TEST(Container, Mem0RecordLengthZeroOrTooShortEndsTheStreamAfterThatChunk) {
    const auto data = sample_text(150000, 7);
    const auto chunks = xpress_test::encode_chunks(data, true);
    ASSERT_GE(chunks.size(), 3u);
    auto build = [&](int32_t first_length) {
        std::vector<uint8_t> v = {'M', 'E', 'M', '0'};
        xpress_test::put_u32(v, static_cast<uint32_t>(data.size()));
        for (size_t i = 0; i < chunks.size(); ++i) {
            xpress_test::put_u32(v, i == 0 ? static_cast<uint32_t>(first_length) : static_cast<uint32_t>(chunks[i].size()));
            v.insert(v.end(), chunks[i].begin(), chunks[i].end());
        }
        v.resize(v.size() + 8, 0);
        return v;
    };
    for (int32_t first : {0, -5, 1, 256}) {
        SCOPED_TRACE(first);
        xpress_adt d;
        ASSERT_TRUE(decompress(d, build(first)));
        ASSERT_EQ(d.m_output.size(), data.size());
        // The first chunk is decoded, nothing after it.
        EXPECT_TRUE(std::equal(data.begin(), data.begin() + 65536, d.m_output.begin()));
        EXPECT_GE(d.m_output_pos, 65536u);
        EXPECT_TRUE(std::all_of(d.m_output.begin() + d.m_output_pos, d.m_output.end(), [](uint8_t b) { return b == 0; }));
        EXPECT_LT(d.m_output_pos, 2 * 65536u);
    }
    xpress_adt ok;
    ASSERT_TRUE(decompress(ok, build(static_cast<int32_t>(chunks[0].size()))));
    EXPECT_EQ(ok.m_output, data);
}

TEST(Container, NestedContainerIsOpenedOneLevelPerCall) {
    const auto data = sample_text(5000, 3);
    const auto inner = xpress_test::make_mam(data);
    auto outer = xpress_test::make_mam(inner);
    ASSERT_TRUE(unwrap_container(outer));
    EXPECT_EQ(outer, inner);  // one level: the image is again a container
    ASSERT_TRUE(unwrap_container(outer));
    EXPECT_EQ(outer, data);
}

TEST(Container, HibernationBlockOfSixteenPagesDecodesAndOthersAreRefused) {
    // 65536 bytes: a pattern built from literals and matches of every length form.
    std::vector<xpress_test::lz_item> items;
    std::vector<uint8_t> expect;
    std::mt19937 rng(5);
    const uint32_t lengths[] = {3, 9, 10, 24, 25, 279, 280, 303, 4000};
    size_t k = 0;
    while (expect.size() < 65536) {
        if (expect.size() < 16 || rng() % 3 == 0) {
            const uint8_t b = static_cast<uint8_t>(rng());
            items.push_back({false, b, 0, 0});
            expect.push_back(b);
        } else {
            uint32_t len = lengths[k++ % 9];
            const uint32_t off = 1 + rng() % static_cast<uint32_t>(std::min<size_t>(expect.size(), 8192));
            len = static_cast<uint32_t>(std::min<size_t>(len, 65536 - expect.size()));
            if (len < 3) continue;
            items.push_back({true, 0, len, off});
            for (uint32_t i = 0; i < len; ++i) expect.push_back(expect[expect.size() - off]);
        }
    }
    auto block = xpress_test::make_xpress_block(items, 15);
    ASSERT_NE(block.size() - 32, 65536u);
    xpress_adt d;
    ASSERT_TRUE(decompress(d, block));
    EXPECT_EQ(d.m_kind, container_xpress_block);
    EXPECT_EQ(d.m_ready, 1);
    EXPECT_EQ(d.m_output, expect);

    auto one_page = xpress_test::make_xpress_block(items, 0);
    EXPECT_FALSE(unwrap_container(one_page));
    auto many_pages = xpress_test::make_xpress_block(items, 31);
    EXPECT_FALSE(unwrap_container(many_pages));
}

TEST(Container, TruncatedAndBitFlippedRealFilesStayInBounds) {
    // Run under the sanitizer build: every read and write must stay inside input and output.
    std::mt19937 rng(12345);
    for (const auto& rf : k_real_files) {
        SCOPED_TRACE(rf.path);
        const auto orig = read_data(rf.path);
        std::vector<uint8_t> reference = orig;
        ASSERT_TRUE(unwrap_container(reference));
        for (size_t cut : {size_t{0}, size_t{7}, size_t{12}, size_t{13}, size_t{264}, size_t{265}, size_t{300},
                           orig.size() / 3, orig.size() / 2, orig.size() - 1}) {
            std::vector<uint8_t> t(orig.begin(), orig.begin() + static_cast<long>(cut));
            xpress_adt d;
            if (decompress(d, t)) {
                ASSERT_EQ(d.m_output.size(), rf.declared);
                // What was decoded agrees with the full decode up to where it stopped.
                EXPECT_TRUE(std::equal(d.m_output.begin(), d.m_output.begin() + d.m_output_pos, reference.begin()));
            }
        }
        for (int round = 0; round < 40; ++round) {
            std::vector<uint8_t> t = orig;
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int f = 0; f < flips; ++f) {
                const size_t at = 8 + rng() % (t.size() - 8);
                t[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
            }
            xpress_adt d;
            if (decompress(d, t)) {
                EXPECT_EQ(d.m_output.size(), rf.declared);
            }
        }
    }
}

// The Windows 10 files' parse results are checked in full by windows10_answers_test.cpp; the
// compressed Windows 11 files hold version 30 images too.
TEST(Container, CompressedWindows11FilesParseWithTheirRunCount) {
    for (const auto& rf : k_real_files) {
        if (std::string(rf.path).rfind("Win11/", 0) != 0) continue;
        SCOPED_TRACE(rf.path);
        const auto raw = read_data(rf.path);
        runtrail_user_context ctx;
        ASSERT_TRUE(parse_prefetch(raw.data(), raw.size(), ctx));  // the parser opens the container
        EXPECT_EQ(ctx.run_count, rf.run_count);
        EXPECT_EQ(ctx.exe_name, rf.exe);
        EXPECT_EQ(ctx.source_label, "Win10 Prefetch");
        ASSERT_FALSE(ctx.volume_paths.empty());
        EXPECT_EQ(ctx.volume_paths[0].rfind("\\VOLUME{", 0), 0u);
    }
}

TEST(Container, NestingIsBoundedToOneLevelPerStep) {
    // A real file wrapped in one more container: the per-file step opens the outer level, the
    // parser the inner one. Wrapped twice more, the parser's single level leaves a container,
    // which is no prefetch image: rejected, with no further unwrapping.
    const auto raw = read_data("Win10/CMD.EXE-D269B812.pf");
    auto once = xpress_test::make_mam(raw);
    runtrail_user_context ctx;
    EXPECT_FALSE(parse_prefetch(once.data(), once.size(), ctx));
    ASSERT_TRUE(unwrap_container(once));
    ASSERT_EQ(once, raw);
    EXPECT_TRUE(parse_prefetch(once.data(), once.size(), ctx));
    EXPECT_EQ(ctx.run_count, 55u);

    auto thrice = xpress_test::make_mam(xpress_test::make_mam(raw));
    ASSERT_TRUE(unwrap_container(thrice));
    uint32_t size = 0;
    EXPECT_EQ(detect_container(thrice.data(), thrice.size(), size), container_mam);
    EXPECT_FALSE(parse_prefetch(thrice.data(), thrice.size(), ctx));
}
