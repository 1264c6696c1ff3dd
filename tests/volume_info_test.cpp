// Volume entries, device paths and directory strings: real files of each version, the layout
// rules, and images whose entries point anywhere.
#include <gtest/gtest.h>

#include "prefetch_sections.h"
#include "prefetch_test_support.h"

using namespace test_support;

namespace {

struct expected_volume {
    const char* path;
    uint32_t serial;
    uint64_t creation_time;
    size_t directory_count;
};

void expect_volumes(const char* file, const std::vector<expected_volume>& expected) {
    SCOPED_TRACE(file);
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(load(file), ctx));
    ASSERT_EQ(ctx.volume_paths.size(), expected.size());
    ASSERT_EQ(ctx.volume_serials.size(), expected.size());
    ASSERT_EQ(ctx.volume_times.size(), expected.size());
    ASSERT_EQ(ctx.volume_dirs.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(ctx.volume_paths[k], expected[k].path);
        EXPECT_EQ(ctx.volume_serials[k], expected[k].serial);
        EXPECT_EQ(ctx.volume_times[k], expected[k].creation_time);
        EXPECT_EQ(ctx.volume_dirs[k].size(), expected[k].directory_count);
    }
}

using dir_map = std::map<uint64_t, std::string>;

}  // namespace

TEST(VolumeInfo, RealFilesOfEachVersion) {
    // Version 17, 40-byte entries.
    expect_volumes("XPPro/CALC.EXE-02CD573A.pf", {{"\\DEVICE\\HARDDISKVOLUME1", 0xE0F7E847, 130971574387187500ULL, 6}});
    expect_volumes("Win2k3/CMD.EXE-087B4001.pf", {{"\\DEVICE\\HARDDISKVOLUME1", 0x64BB3469, 130973463158906250ULL, 4}});
    // Version 23, 104-byte entries; five volumes, four of them shadow copies without directories.
    expect_volumes("Win7/WUAUCLT.EXE-830BCC14.pf",
                   {{"\\DEVICE\\HARDDISKVOLUME1", 0xAC036525, 129338842464843750ULL, 7},
                    {"\\DEVICE\\HARDDISKVOLUMESHADOWCOPY2", 0xAC036525, 129338842464843750ULL, 0},
                    {"\\DEVICE\\HARDDISKVOLUMESHADOWCOPY4", 0xAC036525, 129338842464843750ULL, 0},
                    {"\\DEVICE\\HARDDISKVOLUMESHADOWCOPY7", 0xAC036525, 129338842464843750ULL, 0},
                    {"\\DEVICE\\HARDDISKVOLUMESHADOWCOPY8", 0xAC036525, 129338842464843750ULL, 0}});
    expect_volumes("Win7/DCODEDCODEDCODEDCODEDCODEDCOD-9054DA3F.pf",
                   {{"\\DEVICE\\HARDDISKVOLUME2", 0x88008C2F, 130974525181093750ULL, 14},
                    {"\\DEVICE\\HARDDISKVOLUME3", 0xE892367F, 130979526965781250ULL, 2}});
    expect_volumes("Win7/DCODEDCODEDCODEDCODEDCODEDCOD-94896A93.pf",
                   {{"\\DEVICE\\HARDDISKVOLUME2", 0x88008C2F, 130974525181093750ULL, 12},
                    {"\\DEVICE\\HARDDISKVOLUME3", 0xE892367F, 130979526965781250ULL, 0}});
    expect_volumes("Vista/NOTEPAD.EXE-EB1B961A.pf", {{"\\DEVICE\\HARDDISKVOLUME1", 0xE8EAB8B5, 130974511931093750ULL, 3}});
    // Version 26, 104-byte entries.
    expect_volumes("Win8x/TASKHOST.EXE-3AE259FC.pf", {{"\\DEVICE\\HARDDISKVOLUME2", 0x686C4249, 130253758461465476ULL, 10}});
    expect_volumes("Win2012/MSCORSVW.EXE-57D17DAF.pf", {{"\\DEVICE\\HARDDISKVOLUME2", 0x2E25F20A, 130974564461666157ULL, 30}});
    // Version 31, 96-byte entries.
    expect_volumes("Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf",
                   {{"\\VOLUME{01d5f51ea48267ca-96a49c74}", 0x96A49C74, 132281276035131338ULL, 9},
                    {"\\VOLUME{01daf9c0b250fb27-84b279c8}", 0x84B279C8, 133693744981539623ULL, 2}});
    expect_volumes("Win11/DOCKER-CREDENTIAL-WINCRED.EXE-C901200A.pf",
                   {{"\\VOLUME{01d5f51ea48267ca-96a49c74}", 0x96A49C74, 132281276035131338ULL, 10}});
}

TEST(VolumeInfo, RealDirectoryLists) {
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(load("XPPro/CALC.EXE-02CD573A.pf"), ctx));
    EXPECT_EQ(ctx.volume_dirs[0],
              (dir_map{{1, "\\DEVICE\\HARDDISKVOLUME1\\"},
                       {2, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\"},
                       {3, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\APPPATCH\\"},
                       {4, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\"},
                       {5, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\WINSXS\\"},
                       {6, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\WINSXS\\X86_MICROSOFT.WINDOWS.COMMON-CONTROLS_"
                           "6595B64144CCF1DF_6.0.2600.5512_X-WW_35D4CE83\\"}}));

    ASSERT_TRUE(parse(load("Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf"), ctx));
    EXPECT_EQ(ctx.volume_dirs[1], (dir_map{{1, "\\VOLUME{01daf9c0b250fb27-84b279c8}\\PROGRAM FILES"},
                                           {2, "\\VOLUME{01daf9c0b250fb27-84b279c8}\\PROGRAM FILES\\SCRCPY-WIN64-V3.2"}}));
    EXPECT_EQ(ctx.volume_dirs[0].at(9), "\\VOLUME{01d5f51ea48267ca-96a49c74}\\WINDOWS\\SYSWOW64");

    ASSERT_TRUE(parse(load("Win8x/TASKHOST.EXE-3AE259FC.pf"), ctx));
    EXPECT_EQ(ctx.volume_dirs[0].at(1), "\\DEVICE\\HARDDISKVOLUME2\\$EXTEND");
    EXPECT_EQ(ctx.volume_dirs[0].at(10), "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\EN-US");

    ASSERT_TRUE(parse(load("Win7/DCODEDCODEDCODEDCODEDCODEDCOD-9054DA3F.pf"), ctx));
    EXPECT_EQ(ctx.volume_dirs[1],
              (dir_map{{1, "\\DEVICE\\HARDDISKVOLUME3\\TEMP"}, {2, "\\DEVICE\\HARDDISKVOLUME3\\TEMP\\222"}}));
}

namespace {

constexpr size_t k_base = 0x100;

// A version-30 image with its volume section at k_base and room up to `size`.
std::vector<uint8_t> volume_image(size_t size = 0x400, uint32_t version = 30) {
    std::vector<uint8_t> image = make_image(version, size);
    put32(image, 0x6C, k_base);
    return image;
}

}  // namespace

TEST(VolumeInfo, EntryCountComesFromTheFirstPathOffset) {
    // 0xC0 / 96 = two version-30 entries; the paths follow the array.
    std::vector<uint8_t> image = volume_image();
    put32(image, k_base + 0x00, 0xC0);
    put64(image, k_base + 0x08, 1111);
    put32(image, k_base + 0x10, 0xAAAA0001);
    put32(image, k_base + 96 + 0x00, 0xD0);
    put64(image, k_base + 96 + 0x08, 1111);  // same creation time: two equal entries
    put32(image, k_base + 96 + 0x10, 0xAAAA0002);
    put_utf16(image, k_base + 0xC0, u"\\VOL1");
    put_utf16(image, k_base + 0xD0, u"\\VOL2");
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.volume_paths, (std::vector<std::string>{"\\VOL1", "\\VOL2"}));
    EXPECT_EQ(ctx.volume_serials, (std::vector<uint32_t>{0xAAAA0001, 0xAAAA0002}));
    EXPECT_EQ(ctx.volume_times, (std::vector<uint64_t>{1111, 1111}));
    EXPECT_EQ(ctx.volume_dirs.size(), 2u);

    // A first path offset below one entry size: no volumes, the file is still accepted.
    put32(image, k_base, 95);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_TRUE(ctx.volume_paths.empty());
    // A negative first offset (as a signed value) also counts no entries.
    put32(image, k_base, 0xFFFFFF00);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_TRUE(ctx.volume_paths.empty());

    // A path offset of 0 in a later entry ends the list; the earlier volumes stay.
    put32(image, k_base, 0xC0);
    put32(image, k_base + 96, 0);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.volume_paths, (std::vector<std::string>{"\\VOL1"}));
}

TEST(VolumeInfo, DirectoryStringsFollowThePathAndFileReferencesAligned) {
    // One version-23 entry (104 bytes). The device path is placed so that its terminator ends
    // at image offset 0x1F2; 0x1F2 aligns to 0x1F8, plus 0x10 bytes of file references gives
    // 0x208, already aligned.
    std::vector<uint8_t> image = volume_image(0x400, 23);
    const std::u16string path = u"\\DEVICE\\HARDDISKVOLUME9\\ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const size_t path_at = 0x1F2 - 2 * (path.size() + 1);
    ASSERT_GE(path_at, k_base + 104);
    put32(image, k_base + 0x00, static_cast<uint32_t>(path_at - k_base));
    put32(image, k_base + 0x18, 0x10);
    put32(image, k_base + 0x20, 3);
    ASSERT_EQ(put_utf16(image, path_at, path), 0x1F2u);
    // Decoy text in the file reference area and the alignment gap.
    put16(image, 0x1F8, 4);
    // A leading zero word is skipped; each string is a count, the units, a zero unit.
    size_t at = 0x208;
    put16(image, at, 0);
    at += 2;
    for (const std::u16string& dir : {std::u16string(u"ABCD"), std::u16string(u"XY"), std::u16string(u"QRS")}) {
        put16(image, at, static_cast<uint16_t>(dir.size()));
        at = put_utf16(image, at + 2, dir);
    }
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    ASSERT_EQ(ctx.volume_dirs.size(), 1u);
    EXPECT_EQ(ctx.volume_dirs[0], (dir_map{{1, "ABCD"}, {2, "XY"}, {3, "QRS"}}));

    // The count bounds the list.
    put32(image, k_base + 0x20, 2);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.volume_dirs[0], (dir_map{{1, "ABCD"}, {2, "XY"}}));
}

TEST(VolumeInfo, ReadsEndAtTheImageEnd) {
    runtrail_user_context ctx;
    // Entry array past the end: the declared count of entries does not fit.
    std::vector<uint8_t> image = volume_image(0x400);
    put32(image, 0x6C, 0x400 - 8);  // only 8 bytes of the first entry exist
    put32(image, 0x400 - 8, 0x60);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_TRUE(ctx.volume_paths.empty());

    // Device path offset past the image: the list ends.
    image = volume_image(0x400);
    put32(image, k_base, 0xFFFFFF0);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_TRUE(ctx.volume_paths.empty());

    // A huge entry count comes with a first path far past the image: no volumes.
    image = volume_image(0x400, 17);
    put32(image, k_base, 0x7FFFFFF0);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_TRUE(ctx.volume_paths.empty());

    // A device path running to the image end without a terminator.
    image = volume_image(0x200);
    put32(image, k_base, 0x60);
    put32(image, k_base + 0x20, 5);
    put_utf16(image, k_base + 0x60, std::u16string((0x200 - k_base - 0x60) / 2, u'P'), false);
    ASSERT_TRUE(parse(image, ctx));
    ASSERT_EQ(ctx.volume_paths.size(), 1u);
    EXPECT_EQ(ctx.volume_paths[0].size(), (0x200 - k_base - 0x60) / 2);
    EXPECT_TRUE(ctx.volume_dirs[0].empty());

    // Directory strings: zero words up to the end, a count past the end, a huge count.
    image = volume_image(0x200);
    put32(image, k_base, 0x60);
    put32(image, k_base + 0x20, 0xFFFFFFFF);
    put_utf16(image, k_base + 0x60, u"\\V");  // ends at 0x166, directories from 0x168
    put16(image, 0x168, 2);
    put_utf16(image, 0x16A, u"AB");
    put16(image, 0x1F0, 0x7FFF);  // its characters would run past the end
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.volume_dirs[0], (dir_map{{1, "AB"}}));
    put16(image, 0x1F0, 0);  // only zero words after "AB"
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.volume_dirs[0], (dir_map{{1, "AB"}}));
    // A string whose characters end exactly at the image end, its terminator missing.
    put16(image, 0x1FA, 2);
    put_utf16(image, 0x1FC, u"YZ", false);
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.volume_dirs[0], (dir_map{{1, "AB"}, {2, "YZ"}}));

    // Reader called directly on short or bad views.
    runtrail_user_context direct;
    EXPECT_FALSE(read_volumes(direct, qn::byte_view(image.data(), 100)));
    image = volume_image(0x200);
    put32(image, 0x6C, 0x201);
    EXPECT_FALSE(read_volumes(direct, qn::byte_view(image)));
}

// Every entry may point at the same path and directory list; the work and memory this takes
// stay proportional to the image instead of multiplying by the number of entries.
TEST(VolumeInfo, EntriesSharingTheirStringsStayBounded) {
    const size_t size = 0x40000;
    std::vector<uint8_t> image = volume_image(size, 17);
    const uint32_t entries = 0x1000;
    const uint32_t strings_at = entries * 40;
    for (uint32_t k = 0; k < entries; ++k) {
        put32(image, k_base + k * 40 + 0x00, strings_at);
        put32(image, k_base + k * 40 + 0x20, 0xFFFFFFFF);
    }
    size_t at = put_utf16(image, k_base + strings_at, u"\\SHARED");
    at = (at + 7) / 8 * 8;
    while (at + 8 <= size) {  // directory strings up to the end: count 1, one unit, terminator
        put16(image, at, 1);
        put16(image, at + 2, u'D');
        at += 6;
    }
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    size_t total_dirs = 0;
    for (const auto& dirs : ctx.volume_dirs) total_dirs += dirs.size();
    EXPECT_GT(ctx.volume_dirs.at(0).size(), 1000u);  // the first volume gets its whole list
    EXPECT_LE(total_dirs, size / 6 + 1);
    EXPECT_EQ(ctx.volume_paths.size(), ctx.volume_dirs.size());
}
