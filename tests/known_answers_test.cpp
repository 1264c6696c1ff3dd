// What the parser reads from files, held against answers read from the bytes: every real file of
// tests/data (tests/data/answers), and images built here for what no real file shows.
#include <sstream>

#include "prefetch_parser.h"
#include "test_support.h"

namespace runtrail::test {
namespace {

// A record in the line format of tests/data/answers.
std::string answer_lines(const prefetch_record& r) {
    std::ostringstream out;
    char hash[9];
    std::snprintf(hash, sizeof hash, "%08X", r.prefetch_hash);
    out << "version " << r.version << "\nexe_name " << r.exe_name << "\nprefetch_hash " << hash << "\nrun_count "
        << r.run_count << "\nlast_run " << r.last_run << "\n";
    for (uint64_t t : r.earlier_runs) out << "earlier_run " << t << "\n";
    out << "target_path " << r.target_path << "\n";
    for (size_t i = 0; i < r.modules.size(); ++i) {
        out << "module " << r.modules[i] << "\n";
        if (const ntfs_file_reference ref = r.module_references.at(i); ref.value != 0)
            out << "module_reference " << ref.mft_entry() << "-" << ref.sequence() << "\n";
    }
    for (const volume_record& v : r.volumes) {
        char serial[9];
        std::snprintf(serial, sizeof serial, "%08x", v.serial);
        out << "volume " << v.device_path << "\nvolume_serial " << serial << "\nvolume_created " << v.created << "\n";
        for (const std::string& d : v.directories) out << "directory " << d << "\n";
    }
    return out.str();
}

TEST(KnownAnswers, EveryRealFileParsesToTheFactsReadFromItsBytes) {
    const std::vector<std::string> files = real_files();
    ASSERT_EQ(files.size(), 59u);
    for (const std::string& file : files) {
        const loaded_file f = load_real_file(file);
        ASSERT_EQ(f.result, load_result::loaded) << file;
        EXPECT_EQ(answer_lines(f.record), read_text(data_path("answers/" + file + ".txt"))) << file;
    }
}

TEST(KnownAnswers, EachFileReferenceFollowsItsEntrysFilenameOffsetAndABadEntryCostsOnlyItself) {
    // Win7/CMD.EXE-4A81B364.pf is stored uncompressed: 16 metrics entries of 32 bytes at 0xF0, each
    // with its filename offset at +0x0C and its file reference at +0x18.
    const std::vector<uint8_t> original = read_bytes(data_path("Win7/CMD.EXE-4A81B364.pf"));
    const auto whole = parsed(original);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->modules.size(), 16u);
    auto entry = [](size_t k, size_t field) { return 0xF0 + 32 * k + field; };
    auto offset_of = [&](size_t k) { uint32_t v; std::memcpy(&v, original.data() + entry(k, 0x0C), 4); return v; };

    std::vector<uint8_t> image = original;
    // Entries 0 and 1 trade their filename offsets: the references trade places with them.
    put<uint32_t>(image, entry(0, 0x0C), offset_of(1));
    put<uint32_t>(image, entry(1, 0x0C), offset_of(0));
    // Entry 2 names a place past the strings, entry 3 the middle of a string (one unit in).
    put<uint32_t>(image, entry(2, 0x0C), 0xFFFFFFF0u);
    put<uint32_t>(image, entry(3, 0x0C), offset_of(3) + 2);
    // The record of the edited image; its modules those of the original when `same_modules`.
    auto edited = [&](bool same_modules = true) {
        const auto r = parsed(image);
        EXPECT_TRUE(r && (!same_modules || r->modules == whole->modules));
        return r.value_or(prefetch_record{});
    };
    std::vector<ntfs_file_reference> expected = whole->module_references;
    std::swap(expected[0], expected[1]);
    expected[2] = expected[3] = {};
    EXPECT_EQ(edited().module_references, expected);
    EXPECT_EQ(expected[0].mft_entry(), 25104u);  // KERNEL32.DLL's entry, now naming NTDLL.DLL

    // A count past the image, and an array that starts past it: every module stays, without references.
    image = original;
    put<uint32_t>(image, 0x58, 16);
    put<uint32_t>(image, 0x54, static_cast<uint32_t>(image.size() - 32 * 3));
    edited();
    put<uint32_t>(image, 0x54, 0xFFFFFF00u);
    const std::vector<ntfs_file_reference> none(16);
    EXPECT_EQ(edited().module_references, none);

    // A version without references (17) reads none from the same bytes; nor does an unknown one.
    for (const uint32_t version : {17u, 99u}) {
        image = original;
        put<uint32_t>(image, 0x00, version);
        EXPECT_EQ(edited(false).module_references, none) << version;
    }
}

// A version 26 image of `size` bytes: header, eight run-time slots, no strings and no volumes.
std::vector<uint8_t> v26_image(size_t size = 0x400) {
    std::vector<uint8_t> image(size, 0);
    put<uint32_t>(image, 0x00, 26);
    std::memcpy(image.data() + 4, "SCCA", 4);
    put<uint32_t>(image, 0x0C, static_cast<uint32_t>(size));
    put<uint32_t>(image, 0x64, static_cast<uint32_t>(size));
    put<uint32_t>(image, 0x6C, static_cast<uint32_t>(size));
    return image;
}

TEST(KnownAnswers, LastRunIsTheLargestSlotAndNoEarlierRunIsLost) {
    // Slots out of order: the latest in slot 3, slot 1 an earlier run, one slot repeated.
    std::vector<uint8_t> image = v26_image();
    const uint64_t slots[8] = {500, 900, 700, 0, 100, 900, 0, 300};
    for (size_t i = 0; i < 8; ++i) put<uint64_t>(image, 0x80 + 8 * i, slots[i]);
    put<uint32_t>(image, 0xD0, 6);
    const auto r = parsed(image);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->run_count, 6u);
    EXPECT_EQ(r->last_run, 900u);
    EXPECT_EQ(r->earlier_runs, (std::vector<uint64_t>{100, 300, 500, 700, 900}));
}

TEST(KnownAnswers, NamesAndImageBoundaries) {
    // A lone surrogate becomes U+FFFD; a pair becomes one character; the name field holds 30 units.
    std::vector<uint8_t> image = v26_image();
    const uint16_t name[] = {'A', 0xD800, 'B', 0xD83D, 0xDE00, 'C'};
    for (size_t i = 0; i < 6; ++i) put<uint16_t>(image, 0x10 + 2 * i, name[i]);
    auto r = parsed(image);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->exe_name, "A\xEF\xBF\xBD" "B\xF0\x9F\x98\x80" "C");
    EXPECT_EQ(r->target_path, "unk");
    for (size_t i = 0; i < 30; ++i) put<uint16_t>(image, 0x10 + 2 * i, 'N');
    EXPECT_EQ(parsed(image)->exe_name, std::string(30, 'N'));

    // 228 bytes is the smallest image; the strings and volumes may start at its very end, not past it.
    image = v26_image(228);
    EXPECT_TRUE(parsed(image));
    EXPECT_FALSE(parsed(image, 227));
    put<uint32_t>(image, 0x64, 229);
    EXPECT_FALSE(parsed(image));
    image = v26_image(228);
    put<uint32_t>(image, 0x6C, 229);
    EXPECT_FALSE(parsed(image));
    image[4] = 'X';
    EXPECT_FALSE(parsed(image));
}

}  // namespace
}  // namespace runtrail::test
