// Damaged and hostile images: truncated real files, header fields pointing anywhere, random
// corruption. The parser must reject them or return results that lie within the image; the
// sanitizer build checks that nothing is read outside it.
#include <gtest/gtest.h>

#include <random>

#include "prefetch_test_support.h"

using namespace test_support;

namespace {

const char* const k_samples[] = {
    "XPPro/CALC.EXE-02CD573A.pf",     "Vista/CMD.EXE-89305D47.pf",
    "Win7/WUAUCLT.EXE-830BCC14.pf",   "Win8x/CMD.EXE-4A81B364.pf",
    "Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf",
};

// Results of an accepted image are consistent and come from inside it.
void expect_sane(const std::vector<uint8_t>& image, size_t length, const runtrail_user_context& ctx) {
    ASSERT_GE(length, k_min_prefetch_image);
    EXPECT_EQ(ctx.volume_paths.size(), ctx.volume_serials.size());
    EXPECT_EQ(ctx.volume_paths.size(), ctx.volume_times.size());
    EXPECT_EQ(ctx.volume_paths.size(), ctx.volume_dirs.size());
    EXPECT_LE(ctx.volume_paths.size(), length / 40);
    EXPECT_LE(ctx.modules.size(), length / 2);
    if (!ctx.modules.empty()) {
        EXPECT_GE(ctx.modules.begin()->first, get32(image, 0x64));
        EXPECT_LT(ctx.modules.rbegin()->first, length);
    }
    EXPECT_FALSE(ctx.target_path.empty());
}

bool parse_prefix(const std::vector<uint8_t>& image, size_t length, runtrail_user_context& ctx) {
    // A copy of exactly `length` bytes, so the sanitizer sees any read past it.
    std::vector<uint8_t> prefix(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
    ctx.reset_record();
    return parse_prefetch(prefix.data(), prefix.size(), ctx);
}

}  // namespace

TEST(HostileImages, TruncatedRealFilesAreRejectedOrParsedWithinBounds) {
    for (const char* path : k_samples) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> image = load(path);
        runtrail_user_context ctx;
        size_t accepted = 0;
        for (size_t length = 0; length <= image.size(); length += (length < 0x300 ? 1 : 97)) {
            SCOPED_TRACE(length);
            const bool ok = parse_prefix(image, length, ctx);
            if (length < k_min_prefetch_image) {
                EXPECT_FALSE(ok);
            }
            // Cut before the filename strings or the volume section: rejected.
            if (length < get32(image, 0x64) || length < get32(image, 0x6C)) {
                EXPECT_FALSE(ok);
            }
            if (ok) {
                expect_sane(image, length, ctx);
                ++accepted;
            }
        }
        EXPECT_GT(accepted, 0u);
        EXPECT_TRUE(parse_prefix(image, image.size(), ctx));
    }
}

TEST(HostileImages, HeaderFieldsPointingAnywhere) {
    const size_t fields[] = {0x0C, 0x54, 0x58, 0x64, 0x68, 0x6C, 0x70, 0x74};
    for (const char* path : k_samples) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> original = load(path);
        const uint32_t length = static_cast<uint32_t>(original.size());
        const uint32_t values[] = {0,          1,          4,          0x60,       0xE4,       length - 2,
                                   length - 1, length,     length + 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                   get32(original, 0x64), get32(original, 0x6C)};
        for (size_t field : fields) {
            for (uint32_t value : values) {
                SCOPED_TRACE(testing::Message() << std::hex << field << "=" << value);
                std::vector<uint8_t> image = original;
                put32(image, field, value);
                runtrail_user_context ctx;
                if (parse(image, ctx)) expect_sane(image, image.size(), ctx);
            }
        }
    }
}

TEST(HostileImages, VolumeEntriesPointingAnywhere) {
    const std::vector<uint8_t> original = load("Win7/WUAUCLT.EXE-830BCC14.pf");
    const uint32_t base = get32(original, 0x6C);
    const uint32_t length = static_cast<uint32_t>(original.size());
    const uint32_t values[] = {0, 1, 0x68, length - base - 2, length - base, length - base + 1,
                               0x7FFFFFFF, 0xFFFFFFFF, 0x10000};
    for (uint32_t entry = 0; entry < 5; ++entry) {
        for (uint32_t field : {0x00u, 0x18u, 0x20u}) {
            for (uint32_t value : values) {
                std::vector<uint8_t> image = original;
                put32(image, base + entry * 104 + field, value);
                runtrail_user_context ctx;
                ASSERT_TRUE(parse(image, ctx));
                expect_sane(image, image.size(), ctx);
            }
        }
    }
    // Overlapping sections: the volume section on top of the filename strings and vice versa.
    std::vector<uint8_t> image = original;
    put32(image, 0x6C, get32(original, 0x64));
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    expect_sane(image, image.size(), ctx);
    image = original;
    put32(image, 0x64, base);
    put32(image, 0x58, 0);
    ASSERT_TRUE(parse(image, ctx));
    expect_sane(image, image.size(), ctx);
}

TEST(HostileImages, RandomCorruptionOfRealFiles) {
    std::mt19937 rng(20240611);
    for (const char* path : k_samples) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> original = load(path);
        const uint32_t base = get32(original, 0x6C);
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> image = original;
            const int changes = 1 + static_cast<int>(rng() % 8);
            for (int c = 0; c < changes; ++c) {
                // Aim half the changes at the header and the volume entries, where offsets live.
                size_t at;
                switch (rng() % 3) {
                    case 0: at = rng() % 0xE4; break;
                    case 1: at = base + rng() % std::min<size_t>(0x300, image.size() - base); break;
                    default: at = rng() % image.size(); break;
                }
                image[at] = static_cast<uint8_t>(rng());
            }
            image[4] = 'S';  // keep the signature, so the sections get read
            image[5] = 'C';
            image[6] = 'C';
            image[7] = 'A';
            runtrail_user_context ctx;
            if (parse(image, ctx)) expect_sane(image, image.size(), ctx);
        }
    }
}
