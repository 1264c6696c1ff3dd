// The prefetch hash held against the file's name and the program's path: every real file of
// tests/data, copies under other names, and images whose path or hash was edited.
#include "prefetch_parser.h"
#include "hex_text.h"
#include "test_support.h"

namespace runtrail::test {
namespace {

// The hash fields at the end of a file's -jsonl record.
std::string jsonl_hash_fields(const file_facts& facts, const prefetch_record& record) {
    const std::string out = report_of({"-jsonl"}, facts, record);
    const size_t at = out.find(",\"prefetch_hash\":");
    return at == std::string::npos ? out : out.substr(at + 1, out.size() - at - 3);  // without "}\n"
}

// The verdict of the -hashcheck line of the text report.
std::string hash_check_line(const file_facts& facts, const prefetch_record& record) {
    const std::string out = report_of({"-hashcheck"}, facts, record);
    const size_t at = out.find("\nhash check:     ");
    return at == std::string::npos ? "no hash check line" : out.substr(at + 17, out.find('\n', at + 1) - at - 17);
}

// \VOLUME paths, with the volume number n of the \DEVICE\HARDDISKVOLUMEn that gives the header's
// hash, and the paths that give no match, with their verdicts: found by hashing the paths by hand.
// Every other real file's name and path match.
const std::pair<const char*, int> k_volume_devices[] = {
    {"Win10/CALC.EXE-3FBEF7FD.pf", 8},
    {"Win10/CHROME.EXE-B3BA7868.pf", 8},
    {"Win10/CMD.EXE-D269B812.pf", 8},
    {"Win10/DCODEDCODEDCODEDCODEDCODEDCOD-E65B9FE8.pf", 2},
    {"Win10/DEVENV.EXE-854D7862.pf", 8},
    {"Win11/103.0.5060.66_101.0.4951.67_C-5721700C.pf", 3},
    {"Win11/AM_BASE.EXE-3F70DC95.pf", 3},
    {"Win11/DOCKER-CREDENTIAL-WINCRED.EXE-C901200A.pf", 5},
    {"Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf", 5},
};
const std::pair<const char*, const char*> k_path_differs[] = {
    {"Vista/DLLHOST.EXE-893DDF55.pf", "path differs: DLLHOST.EXE hashes its command line"},
    {"Win10/CALCULATOR.EXE-6940BD5C.pf", "path differs"},
    {"Win11/MSEDGE.EXE-B59487CD.pf", "path differs"},
    {"Win2012R2/DLLHOST.EXE-5E46FA0D.pf", "path differs: DLLHOST.EXE hashes its command line"},
    {"Win2k3/MMC.EXE-0721152E.pf", "path differs: MMC.EXE hashes its command line"},
    {"Win8x/LIVECOMM.EXE-A134F539.pf", "path differs"},
    {"Win8x/LIVECOMM.EXE-D546E475.pf", "path differs"},
    {"Win8x/TASKHOST.EXE-3AE259FC.pf", "path differs: TASKHOST.EXE hashes its command line"},
    {"Win8x/WWAHOST.EXE-00A972CA.pf", "path differs: WWAHOST.EXE hashes its command line"},
};

// The JSON fields of these files are held by the captured -jsonl digests.
TEST(PrefetchHash, EveryRealFileGetsItsKnownVerdict) {
    for (const std::string& file : real_files()) {
        std::string verdict = "name and path match";
        for (const auto& [name, n] : k_volume_devices)
            if (file == name) verdict += " on \\DEVICE\\HARDDISKVOLUME" + std::to_string(n);
        for (const auto& [name, known] : k_path_differs)
            if (file == name) verdict = known;
        const std::string answers = read_text(data_path("answers/" + file + ".txt"));
        const loaded_file f = load_real_file(file);
        EXPECT_EQ(hash_check_line(f.facts, f.record), answers.substr(answers.find("prefetch_hash ") + 14, 8) + ", " + verdict)
            << file;
    }
}

TEST(PrefetchHash, NameDigitsAreHeldAgainstTheHeaderHash) {
    struct named_copy { const char *name, *name_hash_json, *verdict; };
    const named_copy copies[] = {
        {"calc.exe-77fdf17f.PF", "\"77FDF17F\"", "name and path match"},
        {"CALC.EXE-12345678.pf", "\"12345678\"", "renamed: name says 12345678"},
        {"CALC.EXE.pf", "null", "renamed: name has no hash"},
        {"CALC.EXE-7FDF17F.pf", "null", "renamed: name has no hash"},
        {"CALC.EXE-077FDF17F.pf", "null", "renamed: name has no hash"},
        {"CALC.EXE-77FDF17G.pf", "null", "renamed: name has no hash"},
        {"CALC.EXE-77FDF17F.pf.bak", "null", "renamed: name has no hash"},
    };
    loaded_file f = load_real_file("Win7/CALC.EXE-77FDF17F.pf");
    for (const named_copy& copy : copies) {
        f.facts.name = copy.name;
        EXPECT_EQ(hash_check_line(f.facts, f.record), std::string("77FDF17F, ") + copy.verdict) << copy.name;
        EXPECT_EQ(jsonl_hash_fields(f.facts, f.record),
                  std::string("\"prefetch_hash\":\"77FDF17F\",\"name_hash\":") + copy.name_hash_json +
                      ",\"path_hash_match\":true,\"path_hash_device\":null")
            << copy.name;
    }

    // The whole program on a copy renamed on disk.
    const scratch_dir dir;
    write_file(dir / "CALC.EXE-0BADF00D.pf", read_text(data_path("Win7/CALC.EXE-77FDF17F.pf")));
    const tool_result run = run_tool({dir / "CALC.EXE-0BADF00D.pf", "-hashcheck"});
    EXPECT_TRUE(has(run.out, "\nhash check:     77FDF17F, renamed: name says 0BADF00D\n"));
}

// The UTF-16LE units of an ASCII text.
std::string utf16(const std::string& ascii) {
    std::string units;
    for (char c : ascii) units += std::string{c, '\0'};
    return units;
}

TEST(PrefetchHash, EditedPathsAndHeadersAreHeldAgainstThePath) {
    // A version 31 image saved uncompressed. Its path, \VOLUME{...}\PROGRAM FILES (X86)\STEAM\BIN
    // \GLDRIVERQUERY.EXE, hashes to 0EA2BF34 through \DEVICE\HARDDISKVOLUME5; the two other hashes
    // were worked out by hand for HARDDISKVOLUME32 and HARDDISKVOLUME33.
    const std::string original = read_text(data_path("Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf"));
    const size_t bin = original.find(utf16("\\BIN\\GLDRIVERQUERY.EXE"));
    ASSERT_NE(bin, std::string::npos);
    struct edit { const char* what; size_t at; std::string bytes; const char* verdict; };
    const edit edits[] = {
        {"header hash of volume 32", 0x4C, "\x24\x07\xE9\x39", "name and path match on \\DEVICE\\HARDDISKVOLUME32"},
        {"header hash of volume 33", 0x4C, "\xC9\x6B\xD8\x56", "path differs"},
        {"path letter changed", bin + 2, utf16("P"), "path differs"},
        {"path in lower case", bin + 2, utf16("bin"), "name and path match on \\DEVICE\\HARDDISKVOLUME5"},
        {"header name unlike any path", 0x10, utf16("Q"), "no path to check"},
        // The only module holding the name is not the program itself.
        {"program module renamed", bin, utf16("\\GLDRIVERQUERY.EXE.MUI"), "no path to check"},
        {"unknown version", 0x00, "\x63", "no hash rule for this version"},
    };
    for (const edit& e : edits) {
        std::string image = original;
        image.replace(e.at, e.bytes.size(), e.bytes);
        const auto record = parsed({image.begin(), image.end()});
        ASSERT_TRUE(record) << e.what;
        file_facts facts;
        facts.name = "GLDRIVERQUERY.EXE-" + upper_hex_text(record->prefetch_hash) + ".pf";
        EXPECT_EQ(hash_check_line(facts, *record).substr(10), e.verdict) << e.what;
    }
}

}  // namespace
}  // namespace runtrail::test
