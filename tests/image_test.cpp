// -image over the disk images of tests/data/images: every image form, the NTFS facts against the
// known answers read with istat and fls, deleted files, volumes passed over, images that cannot
// be opened, and the run's bytes whatever the thread count.

#include <map>
#include <regex>
#include <sstream>

#include "test_support.h"

namespace runtrail::test {
namespace {

#ifdef RUNTRAIL_WITH_IMAGES

const std::string k_images = data_path("images");

// The images, decompressed once into a folder of their own (the split forms find their other
// pieces by name).
class Image : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!fs::exists(k_images + "/answers.tsv")) return;
        folder_ = new scratch_dir;
        const std::string command = "cd '" + folder_->path + "' && for f in '" + k_images +
                                    "'/*.xz; do xz -dc \"$f\" > \"$(basename \"$f\" .xz)\" || exit 1; done 2>/dev/null";
        if (std::system(command.c_str()) != 0) TearDownTestSuite();
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override {
        if (!folder_) GTEST_SKIP() << "tests/data/images or xz missing: the disk image tests do not run";
    }
    static std::string image(const std::string& name) { return *folder_ / name; }
    // The program's output goes through files in the images' folder, which no other test shares.
    static tool_result run(const std::vector<std::string>& args) { return run_tool(args, "", folder_->path); }

    static scratch_dir* folder_;
};
scratch_dir* Image::folder_ = nullptr;

// The object without what differs between a file in an image and the same file on disk.
std::string without_place_and_times(std::string object) {
    for (const char* key : {"file_path", "modified", "accessed", "changed", "created", "mft_entry", "deleted"})
        object = std::regex_replace(object, std::regex(std::string("\"") + key + "\":(\"[^\"]*\"|[^,}]*),"), "");
    return object;
}

// answers.tsv, by path in the volume: its columns by name.
std::map<std::string, std::map<std::string, std::string>> known_answers() {
    std::map<std::string, std::map<std::string, std::string>> answers;
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : lines_of(read_text(k_images + "/answers.tsv"))) {
        std::istringstream in(line);
        rows.emplace_back();
        for (std::string cell; std::getline(in, cell, '\t');) rows.back().push_back(cell);
    }
    for (size_t r = 1; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size() && c < rows[0].size(); ++c) answers[rows[r][0]][rows[0][c]] = rows[r][c];
    return answers;
}

TEST_F(Image, EveryImageFormOnFourThreadsGivesTheRecordsOfTheBareVolumeOnOne) {
    const tool_result bare = run({"-image", image("ntfs-volume.img"), "-jsonl", "-quiet", "-threads", "1"});
    ASSERT_EQ(count_of(bare.out, "\n"), 13u) << bare.err;
    // The names differ only in the image and the volume: IMAGE:pN:/path.
    auto placeless = [](const std::string& out) { return std::regex_replace(out, std::regex("\"file_path\":\"[^:]*:p[0-9]+:"), ""); };
    for (const char* form : {"mbr-disk.img", "gpt-disk.img", "mbr-disk.E01", "mbr-disk.vmdk", "mbr-disk.vhd", "mbr-disk.001"}) {
        const tool_result r = run({"-image", image(form), "-jsonl", "-quiet", "-threads", "4"});
        EXPECT_EQ(r.status, bare.status) << form;
        EXPECT_EQ(placeless(r.out), placeless(bare.out)) << form;
    }
}

TEST_F(Image, NtfsTimesEntriesAndDeletedStateAreTheKnownAnswers) {
    const tool_result r = run({"-image", image("mbr-disk.E01"), "-jsonl", "-quiet"});
    const auto answers = known_answers();
    size_t checked = 0;
    for (const std::string& object : lines_of(r.out)) {
        const std::string path = json_member(object, "file_path"), prefix = image("mbr-disk.E01") + ":p2:";
        ASSERT_EQ(path.rfind(prefix, 0), 0u) << path;
        const auto known = answers.find(path.substr(prefix.size()));
        ASSERT_NE(known, answers.end()) << path;
        const auto& a = known->second;
        SCOPED_TRACE(a.at("path"));
        EXPECT_EQ(json_member(object, "deleted"), a.at("state") == "deleted" ? "true" : "false");
        for (const auto& [key, column] : {std::pair{"mft_entry", "mft_entry"}, {"file_size", "size"}, {"created", "created"},
                                          {"modified", "modified"}, {"accessed", "accessed"}, {"changed", "mft_changed"}})
            EXPECT_EQ(json_member(object, key), a.at(column)) << key;
        ++checked;
    }
    // Every file of the Prefetch folder but the overwritten one.
    EXPECT_EQ(checked, 13u);
}

TEST_F(Image, ReportsEqualThoseOfTheSameFilesReadFromTestData) {
    const tool_result r = run({"-image", image("ntfs-volume.img"), "-jsonl", "-quiet"});
    const auto answers = known_answers();
    for (const std::string& object : lines_of(r.out)) {
        const std::string path = json_member(object, "file_path");
        const std::string in_volume = path.substr(path.find(":p0:") + 4);
        const tool_result original = run({data_path(answers.at(in_volume).at("source")), "-jsonl"});
        EXPECT_EQ(without_place_and_times(object) + "\n", without_place_and_times(original.out)) << in_volume;
    }
}

TEST_F(Image, DeletedFilesAreMarkedAndTheOverwrittenOneIsSkippedAndCounted) {
    const std::string disk = image("mbr-disk.img");
    const tool_result text = run({"-image", disk, "-filter", "*CHROME*"});
    EXPECT_TRUE(has(text.out, "Analyzing file: " + disk + ":p2:/Windows/Prefetch/CHROME.EXE-B3BA7868.pf\n"));
    EXPECT_TRUE(has(text.out, "created:        2019-09-09 09:09:09\nMFT entry:      81\ndeleted:        yes\n"));
    EXPECT_EQ(text.status, 0);

    const tool_result csv = run({"-image", disk, "-csv"});
    const std::vector<std::string> rows = lines_of(csv.out);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_TRUE(has(rows[2], ",crdate, time-UTC,mft entry,deleted"));
    EXPECT_EQ(count_of(csv.out, ",yes\n"), 1u);
    EXPECT_TRUE(has(csv.out, "CHROME.EXE-B3BA7868.pf,"));
    EXPECT_TRUE(has(csv.err, "prob parsing file " + disk + ":p2:/Windows/Prefetch/CALC.EXE-77FDF17F.pf (deleted, MFT entry 82)\n"));
    EXPECT_TRUE(has(csv.err, "runtrail: 14 files: 13 reported, 1 skipped\n"));

    // The body file: the deleted mark as sleuthkit's own, the MFT entry as inode, the creation time as B.
    const tool_result body = run({"-image", disk, "-bodyfile", "-quiet", "-filter", "*CHROME*"});
    EXPECT_TRUE(has(body.out, "0|CHROME.EXE-B3BA7868.pf (deleted) (Win10 Prefetch); run count: "));
    EXPECT_TRUE(has(body.out, "|81||0|0|19640|"));
    EXPECT_TRUE(has(body.out, "|1568020149\n"));  // 2019-09-09 09:09:09 UTC

    const tool_result events = run({"-image", disk, "-timesketch", "-quiet", "-filter", "*CHROME*"});
    for (const std::string& event : lines_of(events.out)) {
        EXPECT_EQ(json_member(event, "deleted"), "true");
        EXPECT_EQ(json_member(event, "mft_entry"), "81");
    }
}

TEST_F(Image, EachVolumeIsNamedOnceAndVolumesNotNtfsArePassedOver) {
    const std::string disk = image("gpt-disk.img");
    const tool_result r = run({"-image", disk, "-csv"});
    EXPECT_EQ(r.err.find("volume " + disk + ":p1 at offset 1048576: FAT12, not NTFS, passed over\n"
                         "volume " + disk + ":p2 at offset 2097152: no file system found, passed over\n"
                         "volume " + disk + ":p3 at offset 3145728: NTFS, Prefetch folder /Windows/Prefetch found\n"),
              0u)
        << r.err;
    // The FAT volume's prefetch file is not read.
    EXPECT_EQ(r.out.find("CALC.EXE-02CD573A.pf"), std::string::npos);
    EXPECT_EQ(run({"-image", disk, "-csv", "-quiet"}).err, "");
}

TEST_F(Image, EnumdirWalksInsideTheImageWithEitherSeparatorAndAnyCase) {
    const std::string disk = image("mbr-disk.vhd");
    const tool_result r = run({"-image", disk, "-enumdir", "\\windows\\TEMP", "-num_subdirs", "0", "-csv"});
    EXPECT_TRUE(has(r.err, ":p2 at offset 2097152: NTFS, folder /Windows/Temp found\n"));
    EXPECT_TRUE(has(r.out, "\nCMD.EXE-4A81B364.pf,CMD.EXE,"));
    // The folder's other files are no prefetch files, and the last of them ends the run as skipped.
    EXPECT_TRUE(has(r.err, "prob parsing file " + disk + ":p2:/Windows/Temp/overwrite.bin\n"));

    // An empty folder name is the volume's root.
    const tool_result whole = run({"-image", disk, "-enumdir", "", "-num_subdirs", "2", "-jsonl", "-quiet"});
    EXPECT_EQ(count_of(whole.out, "\n"), 14u);  // the thirteen readable in Prefetch and the moved one
}

TEST_F(Image, ImagesThatCannotBeOpenedAreSaidAndFail) {
    scratch_dir dir;
    const tool_result missing = run({"-image", dir / "missing.E01", "-csv", "-quiet"});
    EXPECT_EQ(missing.status, 255);
    EXPECT_EQ(missing.err.rfind("prob opening image " + dir / "missing.E01" + ": ", 0), 0u) << missing.err;
    // The library opens a cut E01 (its missing chunks read as nothing), and the data partition
    // table or file system is not found in it; no more so in bytes that are no image at all, or
    // behind a partition table whose NTFS volume lies beyond the image's end.
    write_file(dir / "truncated.E01", read_text(image("mbr-disk.E01")).substr(0, 3000));
    write_file(dir / "garbage.img", std::string(65536, 'x'));
    write_file(dir / "cut.img", read_text(image("mbr-disk.img")).substr(0, 2 * 1048576 + 8192));
    for (const auto& [name, volume] : {std::pair{"truncated.E01", ":p0 at offset 0"}, {"garbage.img", ":p0 at offset 0"},
                                       {"cut.img", ":p2 at offset 2097152"}}) {
        const std::string bad = dir / name;
        const tool_result r = run({"-image", bad, "-csv"});
        EXPECT_EQ(r.status, 255) << bad;
        EXPECT_TRUE(has(r.err, "volume " + bad + volume + ": no file system found, passed over\n"));
        EXPECT_TRUE(has(r.err, "prob reading image " + bad + ": no NTFS volume found\n"));
    }
}

// The byte offset of an attribute of an MFT entry in a bare NTFS volume (the entry's first
// sector is read as it is: the fields used lie before its fixup).
size_t attribute_offset(const std::string& volume, uint64_t entry, uint32_t type) {
    const auto u64 = [&](size_t at, size_t bytes) { uint64_t v = 0; std::memcpy(&v, volume.data() + at, bytes); return v; };
    const size_t at = static_cast<size_t>(u64(0x30, 8) * 4096 + entry * 1024);  // boot sector: the MFT's first cluster
    EXPECT_EQ(volume.substr(at, 4), "FILE");
    for (size_t a = at + u64(at + 0x14, 2); a + 8 < at + 1024;) {
        const uint64_t attribute_type = u64(a, 4), length = u64(a + 4, 4);
        if (attribute_type == type) return a;
        if (attribute_type == 0xFFFFFFFF || length == 0) break;
        a += length;
    }
    ADD_FAILURE() << "no attribute " << type << " in entry " << entry;
    return 0;
}

TEST_F(Image, AHugeSizeFieldCostsThatFileAloneWithinTheReadCap) {
    std::string volume = read_text(image("ntfs-volume.img"));
    // CALC.EXE-3FBEF7FD.pf (entry 75): its non-resident $DATA claims a terabyte.
    const size_t data = attribute_offset(volume, 75, 0x80);
    ASSERT_EQ(volume[data + 8], 1);  // non-resident
    const uint64_t terabyte = uint64_t{1} << 40;
    for (size_t field : {0x28, 0x30, 0x38}) std::memcpy(volume.data() + data + field, &terabyte, 8);
    scratch_dir dir;
    write_file(dir / "huge.img", volume);
    const tool_result r = run({"-image", dir / "huge.img", "-csv"});
    EXPECT_TRUE(has(r.err, "prob reading file " + dir / "huge.img" + ":p0:/Windows/Prefetch/CALC.EXE-3FBEF7FD.pf\n"));
    EXPECT_TRUE(has(r.err, "14 files: 12 reported, 2 skipped"));
    EXPECT_LT(r.peak_memory, size_t{256} << 20);  // far below the size claimed
}

TEST_F(Image, AnImageNamedAsResultsFileOrLogIsRefusedAndKeepsEveryByte) {
    scratch_dir dir;
    const std::string evidence = dir / "evidence.img", bytes = read_text(image("ntfs-volume.img"));
    write_file(evidence, bytes);
    const tool_result out = run({"-image", evidence, "-csv", "-out", evidence});
    EXPECT_EQ(out.status, 255);
    EXPECT_EQ(out.err, "prob opening file " + evidence + " for output: it is the input file, aborting\n");
    EXPECT_EQ(run({"-image", evidence, "-csv", "-diags", evidence}).status, 255);
    EXPECT_TRUE(read_text(evidence) == bytes);
}

// Sleuthkit and its dependencies cost every run ~15 ms of start-up when linked: only -image loads it.
TEST_F(Image, OnlyAnImageRunLoadsSleuthkit) {
    setenv("LD_DEBUG", "files", 1);  // the dynamic loader names every library it loads
    const tool_result plain = run({real_files().front(), "-csv"});
    const tool_result from_image = run({"-image", image("ntfs-volume.img"), "-csv", "-quiet"});
    unsetenv("LD_DEBUG");
    EXPECT_EQ(count_of(plain.out, "\n"), 2u) << plain.err;  // the header and the file's row
    EXPECT_EQ(count_of(from_image.out, "\n"), 16u) << from_image.err;  // two header lines, columns, 13 files
    EXPECT_EQ(count_of(plain.err, "libtsk"), 0u);
    EXPECT_GT(count_of(from_image.err, "libtsk"), 0u);
}

TEST(ImageOption, GoesWithNeitherPipeNorAFileName) {
    EXPECT_EQ(parse_command_line({"runtrail", "-image", "d.E01", "-pipe"}).result, command_line::outcome::failed);
    EXPECT_EQ(parse_command_line({"runtrail", "-image", "d.E01", "x.pf"}).result, command_line::outcome::failed);
}

#else

TEST(ImageOption, IsNotOfferedWithoutTheImageLibrary) {
    const tool_result r = run_tool({"-image", "d.E01", "-csv"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "This option is not offered in this build\n");
}

#endif

}  // namespace
}  // namespace runtrail::test
