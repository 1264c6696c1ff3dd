// Header checks, version labels and whole-file parses of real prefetch files of every plain
// format version. Expected values were read from the files' bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

#include "prefetch_test_support.h"

using namespace test_support;

namespace {

struct expected_file {
    const char* path;
    uint32_t version;
    const char* label;
    const char* exe;
    uint32_t run_count;
    uint64_t last_run_time;
    std::set<uint64_t> prev_run_times;
    size_t module_count;
    std::vector<std::pair<uint64_t, const char*>> chosen_modules;  // offset in the image, path
    const char* target;
};

const std::vector<expected_file>& real_files() {
    static const std::vector<expected_file> files = {
        // Version 17: the last run time is the single FILETIME at 0x78, the run count at 0x90.
        {"XPPro/CALC.EXE-02CD573A.pf", 17, "WinXP Prefetch", "CALC.EXE", 3, 130971963512812500ULL, {}, 30,
         {{0x1b68, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x1bce, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\KERNEL32.DLL"},
          {0x27de, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\WIN32K.SYS"}},
         "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CALC.EXE"},
        {"Win2k3/CMD.EXE-087B4001.pf", 17, "WinXP Prefetch", "CMD.EXE", 3, 130973725008750000ULL, {}, 16,
         {{0xebc, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x14d8, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CTYPE.NLS"}},
         "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE"},
        // Version 23: last run time at 0x80, run count at 0x98.
        {"Vista/NOTEPAD.EXE-EB1B961A.pf", 23, "Vista/Win7 Prefetch", "NOTEPAD.EXE", 3, 130974481918639245ULL, {}, 23,
         {{0x2c14, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x35ca, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\UXTHEME.DLL"}},
         "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"},
        {"Win7/WUAUCLT.EXE-830BCC14.pf", 23, "Vista/Win7 Prefetch", "WUAUCLT.EXE", 25, 129763198598079963ULL, {}, 103,
         {{0x23078, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x26224, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\WINSXS\\MANIFESTCACHE\\A786A517E28D5687_BLOBS.BIN"}},
         "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\WUAUCLT.EXE"},
        // The header keeps 29 characters of a long name; the target path has the whole name.
        {"Win7/DCODEDCODEDCODEDCODEDCODEDCOD-9054DA3F.pf", 23, "Vista/Win7 Prefetch", "DCODEDCODEDCODEDCODEDCODEDCOD", 5,
         130979533963416250ULL, {}, 50,
         {{0x5464, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x6a6c, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\EN-US\\SYSCLASS.DLL.MUI"}},
         "\\DEVICE\\HARDDISKVOLUME3\\TEMP\\222\\DCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE"},
        // Version 26: eight run-time slots at 0x80..0xB8, run count at 0xD0.
        {"Win8x/TASKHOST.EXE-3AE259FC.pf", 26, "Win8 Prefetch", "TASKHOST.EXE", 4, 130253748090378333ULL,
         {130253406736429375ULL, 130253411945960606ULL, 130253740890103565ULL}, 51,
         {{0x53b0, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x6912, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTASN1.DLL"}},
         "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\TASKHOST.EXE"},
        {"Win2012/MSCORSVW.EXE-57D17DAF.pf", 26, "Win8 Prefetch", "MSCORSVW.EXE", 10, 130974537698593231ULL,
         {130974537279061982ULL, 130974537279686980ULL, 130974537358440316ULL, 130974537382968227ULL,
          130974537669222401ULL, 130974537669846651ULL, 130974537698288050ULL},
         78,
         {{0x2e18c, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x320e0,
           "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\ASSEMBLY\\NATIVEIMAGES_V4.0.30319_64\\SYSTEM.DATA.SQLXML\\"
           "8341D3C13B49472293E170BF82E55E86\\SYSTEM.DATA.SQLXML.NI.DLL.AUX"}},
         "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\MICROSOFT.NET\\FRAMEWORK64\\V4.0.30319\\MSCORSVW.EXE"},
        {"Win2012R2/DLLHOST.EXE-5E46FA0D.pf", 26, "Win8 Prefetch", "DLLHOST.EXE", 3, 130974540288213386ULL,
         {130974540113561067ULL, 130974540223119100ULL}, 27,
         {{0x2668, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL"}, {0x3216, "\\DEVICE\\HARDDISKVOLUME2\\$MFT"}},
         "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\DLLHOST.EXE"},
        // Version 31 (Windows 11), metrics array at 0x128: run count at 0xC8.
        {"Win11/DOCKER-CREDENTIAL-WINCRED.EXE-C901200A.pf", 31, "Win11 Prefetch", "DOCKER-CREDENTIAL-WINCRED.EXE", 23,
         133964042345740016ULL,
         {133963983513285311ULL, 133963984885876177ULL, 133963990259206548ULL, 133963994753748421ULL,
          133964011355339964ULL, 133964016543222246ULL, 133964018379668946ULL},
         26,
         {{0x4708, "\\VOLUME{01d5f51ea48267ca-96a49c74}\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
          {0x54b0, "\\VOLUME{01d5f51ea48267ca-96a49c74}\\WINDOWS\\SYSTEM32\\CRYPTBASE.DLL"}},
         "\\VOLUME{01d5f51ea48267ca-96a49c74}\\PROGRAM FILES\\DOCKER\\DOCKER\\RESOURCES\\BIN\\DOCKER-CREDENTIAL-WINCRED.EXE"},
        {"Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf", 31, "Win11 Prefetch", "GLDRIVERQUERY.EXE", 2, 133963983204785478ULL,
         {133960400352470263ULL}, 25,
         {{0x1080, "\\VOLUME{01daf9c0b250fb27-84b279c8}\\PROGRAM FILES\\SCRCPY-WIN64-V3.2\\SDL2.DLL"},
          {0x1d14, "\\VOLUME{01d5f51ea48267ca-96a49c74}\\WINDOWS\\SYSWOW64\\VCRUNTIME140.DLL"}},
         "\\VOLUME{01d5f51ea48267ca-96a49c74}\\PROGRAM FILES (X86)\\STEAM\\BIN\\GLDRIVERQUERY.EXE"},
        {"Win11/MSEDGE.EXE-B59487CD.pf", 31, "Win11 Prefetch", "MSEDGE.EXE", 1095, 133964822259032820ULL,
         {133964316025000599ULL, 133964318956410723ULL, 133964321215147890ULL, 133964324248750376ULL,
          133964329048873677ULL, 133964822254763873ULL, 133964822259010646ULL},
         41, {{0x16338, "\\VOLUME{01d5f51ea48267ca-96a49c74}\\WINDOWS\\SYSTEM32\\WLDP.DLL"}},
         "\\VOLUME{01d5f51ea48267ca-96a49c74}\\PROGRAM FILES (X86)\\MICROSOFT\\EDGE\\APPLICATION\\MSEDGE.EXE"},
    };
    return files;
}

}  // namespace

TEST(PrefetchParser, RealFilesOfEveryPlainVersionParseToKnownValues) {
    for (const expected_file& e : real_files()) {
        SCOPED_TRACE(e.path);
        const std::vector<uint8_t> image = load(e.path);
        ASSERT_FALSE(image.empty());
        runtrail_user_context ctx;
        ASSERT_TRUE(parse(image, ctx));
        EXPECT_EQ(ctx.format_version, e.version);
        EXPECT_EQ(ctx.source_label, e.label);
        EXPECT_EQ(ctx.exe_name, e.exe);
        EXPECT_EQ(ctx.run_count, e.run_count);
        EXPECT_EQ(ctx.last_run_time, e.last_run_time);
        EXPECT_EQ(ctx.prev_run_times, e.prev_run_times);
        EXPECT_EQ(ctx.modules.size(), e.module_count);
        for (const auto& [offset, module] : e.chosen_modules) {
            ASSERT_TRUE(ctx.modules.count(offset)) << std::hex << offset;
            EXPECT_EQ(ctx.modules.at(offset), module);
        }
        // The first string starts the block; every key lies at or after it.
        EXPECT_EQ(ctx.modules.begin()->first, get32(image, 0x64));
        EXPECT_EQ(ctx.target_path, e.target);
    }
}

TEST(PrefetchParser, EveryPlainCorpusFileValidatesWithItsLabelAndName) {
    const std::pair<const char*, const char*> folders[] = {
        {"XPPro", "WinXP Prefetch"},      {"Win2k3", "WinXP Prefetch"},   {"Vista", "Vista/Win7 Prefetch"},
        {"Win7", "Vista/Win7 Prefetch"},  {"Win8x", "Win8 Prefetch"},     {"Win2012", "Win8 Prefetch"},
        {"Win2012R2", "Win8 Prefetch"},
    };
    size_t parsed = 0;
    for (const auto& [folder, label] : folders) {
        for (const auto& entry : std::filesystem::directory_iterator(data_path(folder))) {
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(name);
            const std::vector<uint8_t> image = load(std::string(folder) + "/" + name);
            runtrail_user_context ctx;
            ASSERT_TRUE(parse(image, ctx));
            EXPECT_EQ(ctx.source_label, label);
            // File names are NAME-HASH.pf (a leading "_" marks a copy); the header holds NAME.
            std::string stem = name.substr(0, name.rfind('-'));
            if (stem[0] == '_') stem.erase(0, 1);
            EXPECT_EQ(ctx.exe_name, stem);
            EXPECT_NE(ctx.target_path, "unk");
            EXPECT_EQ(ctx.modules.size(), get32(image, 0x58));
            ++parsed;
        }
    }
    // Windows 11: only the plain images (the others are compressed containers).
    for (const char* name : {"DOCKER-CREDENTIAL-WINCRED.EXE-C901200A.pf", "GLDRIVERQUERY.EXE-0EA2BF34.pf",
                             "MSEDGE.EXE-B59487CD.pf"}) {
        runtrail_user_context ctx;
        ASSERT_TRUE(parse(load(std::string("Win11/") + name), ctx));
        EXPECT_EQ(ctx.source_label, "Win11 Prefetch");
        ++parsed;
    }
    EXPECT_EQ(parsed, 51u);

    runtrail_user_context ctx;
    EXPECT_FALSE(parse(load("Bad/notAPrefetch.pf"), ctx));
    EXPECT_FALSE(validate_header(load("Bad/notAPrefetch.pf").data(), 13));
}

TEST(PrefetchHeader, ShortestImageAndSignature) {
    std::vector<uint8_t> image = make_image(17, 228);
    EXPECT_TRUE(validate_header(image.data(), image.size()));
    runtrail_user_context ctx;
    EXPECT_TRUE(parse(image, ctx));
    EXPECT_FALSE(validate_header(image.data(), 227));
    EXPECT_FALSE(parse_prefetch(image.data(), 227, ctx));
    EXPECT_FALSE(validate_header(nullptr, 228));
    EXPECT_FALSE(parse_prefetch(nullptr, 228, ctx));
    image[7] = 'B';  // "SCCB"
    EXPECT_FALSE(validate_header(image.data(), image.size()));
    EXPECT_FALSE(parse(image, ctx));
}

TEST(PrefetchHeader, ExecutableNameField) {
    // Thirty units without a terminator fill the whole field and end there.
    std::vector<uint8_t> image = make_image(23);
    put_utf16(image, 0x10, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", false);
    put32(image, 0x4C, 0x00410041);  // what follows the field is not part of the name
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.exe_name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");

    // An empty name is contained in every string: the first filename string is the target.
    image = make_image(23);
    size_t at = 0x200;
    put32(image, 0x64, static_cast<uint32_t>(at));
    put32(image, 0x58, 2);
    at = put_utf16(image, at, u"\\DEVICE\\HARDDISKVOLUME1\\FIRST.DLL");
    put_utf16(image, at, u"\\DEVICE\\HARDDISKVOLUME1\\SECOND.EXE");
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_EQ(ctx.exe_name, "");
    EXPECT_EQ(ctx.target_path, "\\DEVICE\\HARDDISKVOLUME1\\FIRST.DLL");
    EXPECT_EQ(ctx.modules.size(), 2u);
}

TEST(PrefetchHeader, FilenameStringsOffsetAtTheEndIsAcceptedOnePastIsRejected) {
    std::vector<uint8_t> image = make_image(26, 0x300);
    put32(image, 0x64, 0x300);
    runtrail_user_context ctx;
    ASSERT_TRUE(parse(image, ctx));
    EXPECT_TRUE(ctx.modules.empty());
    EXPECT_EQ(ctx.target_path, "unk");
    put32(image, 0x64, 0x301);
    EXPECT_FALSE(parse(image, ctx));

    image = make_image(26, 0x300);
    put32(image, 0x6C, 0x300);
    EXPECT_TRUE(parse(image, ctx));
    put32(image, 0x6C, 0x301);
    EXPECT_FALSE(parse(image, ctx));
}

TEST(PrefetchHeader, VersionLabels) {
    EXPECT_STREQ(version_label(17), "WinXP Prefetch");
    EXPECT_STREQ(version_label(23), "Vista/Win7 Prefetch");
    EXPECT_STREQ(version_label(26), "Win8 Prefetch");
    EXPECT_STREQ(version_label(30), "Win10 Prefetch");
    EXPECT_STREQ(version_label(31), "Win11 Prefetch");
    for (uint32_t other : {0u, 16u, 18u, 29u, 32u, 0xFFFFFFFFu}) EXPECT_STREQ(version_label(other), "Prefetch");
}

// Windows 11 (version 31) files share the version-30 layout: relabelling a real version-31 file
// as 30 changes nothing but the label, while an unknown version (32) loses the run information
// and reads its volume entries with the 40-byte layout.
TEST(PrefetchParser, Version31ReadsLikeVersion30AndUnknownVersionsDoNot) {
    const std::vector<uint8_t> v31 = load("Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf");
    runtrail_user_context as31, as30, as32;
    ASSERT_TRUE(parse(v31, as31));
    std::vector<uint8_t> image = v31;
    put32(image, 0, 30);
    ASSERT_TRUE(parse(image, as30));
    EXPECT_EQ(as30.source_label, "Win10 Prefetch");
    EXPECT_EQ(as31.source_label, "Win11 Prefetch");
    EXPECT_EQ(as30.run_count, as31.run_count);
    EXPECT_EQ(as30.last_run_time, as31.last_run_time);
    EXPECT_EQ(as30.prev_run_times, as31.prev_run_times);
    EXPECT_EQ(as30.modules, as31.modules);
    EXPECT_EQ(as30.target_path, as31.target_path);
    EXPECT_EQ(as30.volume_paths, as31.volume_paths);
    EXPECT_EQ(as30.volume_serials, as31.volume_serials);
    EXPECT_EQ(as30.volume_times, as31.volume_times);
    EXPECT_EQ(as30.volume_dirs, as31.volume_dirs);
    EXPECT_EQ(as31.volume_paths.size(), 2u);

    put32(image, 0, 32);
    ASSERT_TRUE(parse(image, as32));
    EXPECT_EQ(as32.source_label, "Prefetch");
    EXPECT_EQ(as32.run_count, 0u);
    EXPECT_EQ(as32.last_run_time, 0u);
    EXPECT_TRUE(as32.prev_run_times.empty());
    EXPECT_EQ(as32.modules, as31.modules);  // the strings do not depend on the version
    // The first path offset (0xC0 = two 96-byte entries) now counts four 40-byte entries; the
    // second one lands inside the first 96-byte entry, whose word there is 0: the list ends.
    ASSERT_EQ(as32.volume_paths.size(), 1u);
    EXPECT_EQ(as32.volume_paths[0], as31.volume_paths[0]);
    EXPECT_EQ(as32.volume_dirs[0], as31.volume_dirs[0]);

    // A version-26 image relabelled 31 (metrics array at 0x130): the same run count slot and,
    // with one volume, the same volume.
    const std::vector<uint8_t> v26 = load("Win8x/CMD.EXE-4A81B364.pf");
    runtrail_user_context plain26, relabelled;
    ASSERT_TRUE(parse(v26, plain26));
    image = v26;
    put32(image, 0, 31);
    ASSERT_TRUE(parse(image, relabelled));
    EXPECT_EQ(relabelled.source_label, "Win11 Prefetch");
    EXPECT_EQ(relabelled.run_count, plain26.run_count);
    EXPECT_EQ(relabelled.last_run_time, plain26.last_run_time);
    EXPECT_EQ(relabelled.prev_run_times, plain26.prev_run_times);
    EXPECT_EQ(relabelled.volume_paths, plain26.volume_paths);
    EXPECT_EQ(relabelled.volume_dirs, plain26.volume_dirs);
}

TEST(PrefetchParser, ResultsOfAPreviousFileAreReplaced) {
    runtrail_user_context ctx;
    const std::vector<uint8_t> first = load("Win7/WUAUCLT.EXE-830BCC14.pf");
    ASSERT_TRUE(parse_prefetch(first.data(), first.size(), ctx));
    ASSERT_EQ(ctx.volume_paths.size(), 5u);
    const std::vector<uint8_t> next = load("XPPro/CALC.EXE-02CD573A.pf");
    ASSERT_TRUE(parse_prefetch(next.data(), next.size(), ctx));
    EXPECT_EQ(ctx.volume_paths.size(), 1u);
    EXPECT_EQ(ctx.modules.size(), 30u);
    EXPECT_EQ(ctx.exe_name, "CALC.EXE");
}
