// The filename strings block: module list, target path and the bounds of the block.
#include <gtest/gtest.h>

#include "prefetch_sections.h"
#include "prefetch_test_support.h"

using namespace test_support;

namespace {

constexpr size_t k_block = 0x200;

// An image whose filename strings block starts at k_block and holds `strings` one after the
// other; the header's block size covers exactly them.
std::vector<uint8_t> image_with_strings(const std::vector<std::u16string>& strings, uint32_t count,
                                        const std::u16string& exe = u"") {
    std::vector<uint8_t> image = make_image(23, 0x800);
    put_utf16(image, 0x10, exe);
    size_t at = k_block;
    for (const std::u16string& s : strings) at = put_utf16(image, at, s);
    put32(image, 0x58, count);
    put32(image, 0x64, k_block);
    put32(image, 0x68, static_cast<uint32_t>(at - k_block));
    return image;
}

}  // namespace

TEST(FilenameStrings, MetricsCountBoundsTheStringsRead) {
    std::vector<uint8_t> image = image_with_strings({u"A", u"B", u"C", u"D"}, 3);
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.modules, (std::map<uint64_t, std::string>{{k_block, "A"}, {k_block + 4, "B"}, {k_block + 8, "C"}}));

    // Two zero units in a row: an empty string at the offset of the second one.
    image = image_with_strings({u"A", u"", u"B"}, 3);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.modules, (std::map<uint64_t, std::string>{{k_block, "A"}, {k_block + 4, ""}, {k_block + 6, "B"}}));

    // Units after the last terminator before the image end are not a string.
    image = make_image(23, 0x210);
    put32(image, 0x64, k_block);
    put32(image, 0x58, 5);
    size_t at = put_utf16(image, k_block, u"AB");
    ASSERT_EQ(put_utf16(image, at, u"CDEFG", false), image.size());  // runs to the image end
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.modules, (std::map<uint64_t, std::string>{{k_block, "AB"}}));
}

TEST(FilenameStrings, TargetPathIsTheFirstStringContainingTheName) {
    std::vector<uint8_t> image = image_with_strings(
        {u"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL", u"\\DEVICE\\HARDDISKVOLUME1\\X\\XCMD.EXE",
         u"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE"},
        3, u"CMD.EXE");
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.target_path, "\\DEVICE\\HARDDISKVOLUME1\\X\\XCMD.EXE");
    EXPECT_EQ(ctx.exe_name, "CMD.EXE");

    // The comparison is exact: another letter case does not match.
    image = image_with_strings({u"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\cmd.exe"}, 1, u"CMD.EXE");
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.target_path, "unk");

    // The match is on whole code units: the bytes of "AB" (41 00 42 00) found one byte into the
    // units U+4100 U+4200 U+4300 are not the name.
    image = image_with_strings({u"\u4100\u4200\u4300", u"\\X\\AB"}, 2, u"AB");
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.target_path, "\\X\\AB");
}

// Windows keeps only the first 29 characters of a long executable name in the header; the name
// is then a prefix of the file name in the path, and the substring match still finds the path.
TEST(FilenameStrings, NameCutAt29CharactersStillFindsTheFullPath) {
    const std::u16string cut = u"103.0.5060.66_101.0.4951.67_C";
    ASSERT_EQ(cut.size(), 29u);
    const std::u16string full =
        u"\\VOLUME{01d5f51ea48267ca-96a49c74}\\PROGRAM FILES (X86)\\MICROSOFT\\EDGEUPDATE\\DOWNLOAD\\"
        u"103.0.5060.66_101.0.4951.67_CHROME_UPDATER.EXE";
    std::vector<uint8_t> image = image_with_strings({u"\\VOLUME{01d5f51ea48267ca-96a49c74}\\WINDOWS\\NTDLL.DLL", full}, 2, cut);
    put32(image, 0, 31);
    put32(image, 0x54, 0x128);
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.exe_name, "103.0.5060.66_101.0.4951.67_C");
    EXPECT_EQ(ctx.target_path,
              "\\VOLUME{01d5f51ea48267ca-96a49c74}\\PROGRAM FILES (X86)\\MICROSOFT\\EDGEUPDATE\\DOWNLOAD\\"
              "103.0.5060.66_101.0.4951.67_CHROME_UPDATER.EXE");
}

TEST(FilenameStrings, SurrogatePairsBecomeOneCharacter) {
    // U+1F600 as the pair D83D DE00 inside a module path; a lone high surrogate becomes U+FFFD.
    std::vector<uint8_t> image = image_with_strings(
        {u"\\DEVICE\\HARDDISKVOLUME1\\USERS\\\U0001F600\\TOOL.EXE", std::u16string(u"\\X\xD83D.DLL")}, 2, u"TOOL.EXE");
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    ASSERT_EQ(ctx.modules.size(), 2u);
    EXPECT_EQ(ctx.modules.begin()->second, "\\DEVICE\\HARDDISKVOLUME1\\USERS\\\xF0\x9F\x98\x80\\TOOL.EXE");
    EXPECT_EQ(ctx.target_path, ctx.modules.begin()->second);
    EXPECT_EQ(ctx.modules.rbegin()->second, "\\X\xEF\xBF\xBD.DLL");
}

// With a metrics count of 0 the count bounds nothing; the strings then end with the block the
// header declares (0x68), so padding and the following sections are not read as names.
TEST(FilenameStrings, ZeroCountEndsAtTheDeclaredBlock) {
    std::vector<uint8_t> image = image_with_strings({u"A", u"B"}, 0);
    put_utf16(image, k_block + 8, u"NOT A NAME");  // right after the block
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.modules, (std::map<uint64_t, std::string>{{k_block, "A"}, {k_block + 4, "B"}}));

    // A block size past the image is cut at the image end.
    put32(image, 0x68, 0xFFFFFFFF);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.modules.count(k_block + 8), 1u);
    EXPECT_LE(ctx.modules.rbegin()->first, image.size());

    // Real files: the declared block holds exactly the counted strings, so a zeroed count
    // leaves their module lists unchanged.
    for (const char* path : {"XPPro/EXPLORER.EXE-082F38A9.pf", "Win7/WUAUCLT.EXE-830BCC14.pf",
                             "Win8x/WWAHOST.EXE-00A972CA.pf", "Win11/MSEDGE.EXE-B59487CD.pf"}) {
        SCOPED_TRACE(path);
        image = load(path);
        runtrail_user_context counted, uncounted;
        ASSERT_TRUE(parse(image, counted));
        put32(image, 0x58, 0);
        ASSERT_TRUE(parse(image, uncounted));
        EXPECT_EQ(uncounted.modules, counted.modules);
        EXPECT_EQ(uncounted.target_path, counted.target_path);
    }
}

TEST(FilenameStrings, HugeCountIsBoundedByTheImage) {
    std::vector<uint8_t> image = make_image(26, 0x1000);  // zeros after the header
    put32(image, 0x64, 0x100);
    put32(image, 0x58, 0xFFFFFFFF);
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    // Every zero unit is an empty string, but no more strings than metrics entries fit.
    EXPECT_EQ(ctx.modules.size(), 0x1000u / 20);
    EXPECT_EQ(ctx.target_path, "unk");  // the empty name matches the first, empty, string

    std::map<uint64_t, std::string> modules;
    const uint8_t name[] = {'X', 0};
    std::string target;
    EXPECT_FALSE(read_filename_strings(modules, qn::byte_view(name, sizeof name), target,
                                       qn::byte_view(image.data(), 100)));
}
