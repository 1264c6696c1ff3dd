// Hostile input: real files cut short or corrupted, images built for the largest parse results, and
// names made to break reports. Each ends cleanly: no exception, no report that loses its shape, and
// memory that stays proportional to the image.

#include "hostile_chain.h"
#include "test_support.h"
#include "worst_case_image.h"

namespace runtrail::test {
namespace {

// Instrumented builds run each input many times slower; they take every fourth case.
constexpr size_t k_thin = k_sanitized ? 4 : 1;

TEST(HostileInput, RealFilesCutShortOrCorruptedEndCleanly) {
    const std::vector<report_settings> settings = hostile_chain::variants();
    size_t runs = 0, reports = 0;
    auto check = [&](const std::vector<uint8_t>& bytes, size_t length, const std::string& what) {
        // Every form in one option setting each time, the settings turn and turn about.
        const size_t first = runs++ % (settings.size() / hostile_chain::k_forms) * hostile_chain::k_forms;
        const auto result = hostile_chain::run({bytes.data(), length}, settings, first, hostile_chain::k_forms);
        reports += result.parsed;
        EXPECT_EQ(result.fault, "") << what;
    };
    for (const std::string& file : real_files()) {
        std::vector<uint8_t> bytes = read_bytes(data_path(file));
        EXPECT_TRUE(hostile_chain::run({bytes.data(), bytes.size()}, settings).parsed) << file;
        // Every length of the header, a spread over the file, its last bytes.
        for (size_t n = 0; n < 240; n += k_thin) check(bytes, std::min(n, bytes.size()), file + " cut at " + std::to_string(n));
        for (size_t i = 0; i < 64; i += k_thin) check(bytes, bytes.size() * i / 64, file + " cut at " + std::to_string(i) + "/64");
        check(bytes, bytes.size() - 1, file + " without its last byte");
        // The header fields the parser reads (and a container's header and first table), then a
        // spread over the rest: set to 0, to 0xFF and with the top bit flipped.
        std::vector<size_t> positions;
        for (size_t p = 0; p < 0xD8; p += p < 0x10 || (p >= 0x54 && p < 0x78) ? 1 : 4) positions.push_back(p);
        for (size_t i = 0; i < 32; ++i) positions.push_back(0xD8 + (bytes.size() - 0xD8) * i / 32);
        for (size_t k = 0; k < positions.size(); k += k_thin) {
            const size_t p = positions[k];
            const uint8_t original = bytes[p];
            for (uint8_t value : {uint8_t{0}, uint8_t{0xFF}, static_cast<uint8_t>(original ^ 0x80)}) {
                bytes[p] = value;
                check(bytes, bytes.size(), file + " byte " + std::to_string(p) + " = " + std::to_string(value));
            }
            bytes[p] = original;
        }
    }
    EXPECT_GT(reports, runs / 8);  // cuts past the header of a plain image still give a report
}

TEST(HostileInput, ParseResultsStayProportionalToTheImage) {
    constexpr size_t k_size = size_t{1} << 20;
    std::vector<uint8_t> image = largest_results_image(k_size);
    auto r = parsed(image);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->modules.size(), k_size / 20);  // one per smallest metrics entry, however many claimed
    ASSERT_EQ(r->volumes.size(), 1u);
    EXPECT_GT(r->volumes[0].directories.size(), k_size / 64);
    EXPECT_LE(r->volumes[0].directories.size(), k_size / 38);
    // Without a count the declared block size bounds the strings, with the same cap.
    put<uint32_t>(image, 0x58, 0);
    EXPECT_EQ(parsed(image)->modules.size(), k_size / 20);
}

TEST(HostileInput, WorstContainerStaysWithinASmallMultipleOfItsImage) {
    if (k_thin > 1) GTEST_SKIP() << "the memory of an instrumented build says nothing about the program";
    constexpr size_t k_image = size_t{16} << 20;
    const scratch_dir dir;
    const std::vector<uint8_t> mam = worst_case_mam();
    EXPECT_LT(mam.size(), size_t{64} << 10);
    EXPECT_EQ(read_bytes(data_path("regressions/worst-case.mam")), mam) << "the kept worst case is not the one made here";
    write_file(dir / "WORST.EXE-00000000.pf", std::string(mam.begin(), mam.end()));
    const tool_result r = run_tool({dir / "WORST.EXE-00000000.pf", "-csv", "-verbose", "-out", dir / "out.csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_LT(r.peak_memory, 10 * k_image);
}

TEST(HostileInput, ReportsOfNamesMadeToGrowStayWithinTheMemoryTakenForThem) {
    // Names of control codes, which every form writes six bytes each, and empty names, where what
    // a form writes around each counts; the program's name on every module, on every one of many
    // volumes of one device path, the first with many directories; every run time valid, and every
    // file reference the largest.
    for (const std::string& name : {std::string(40, '\x01'), std::string()}) {
        loaded_file f = load_real_file("Win10/CALC.EXE-3FBEF7FD.pf");
        f.facts.path = f.facts.name = f.record.exe_name = f.record.target_path = name;
        for (std::string& module : f.record.modules) module = name.empty() ? name : "\\" + name;
        f.record.module_references.assign(f.record.modules.size(), {~uint64_t{0}});
        volume_record volume = f.record.volumes[0];
        volume.device_path.clear();
        volume.directories.clear();
        f.record.volumes.assign(200, volume);
        f.record.volumes[0].directories.assign(50, name);
        f.record.earlier_runs.clear();
        for (uint64_t i = 1; i <= 7; ++i) f.record.earlier_runs.push_back(f.record.last_run - i * 10000000);
        for (const report_settings& settings : hostile_chain::variants()) {
            const std::unique_ptr<report_writer> writer = make_report_writer(settings);
            std::string first, report;
            writer->write(f.facts, f.record, first);
            writer->render(f.facts, f.record, report);
            EXPECT_LE(report.size(), writer->report_bytes_bound(f.facts, f.record)) << first.substr(0, 40);
        }
    }
}

TEST(HostileInput, NamesMadeToBreakReportsKeepEveryShape) {
    const std::string hostile[] = {"A,B",   "A|B",  "A\"B",         "\"{\"",    "A;B",      "A\tB", "A\rB",
                                   "A\nB",  "A\r\nB", " | ",       "{\"x",      "A\\B",    "\x01\x1B\x7F",
                                   "\xC2\x9B", "\xE2\x80\xA8", "\xFF\xFE", "}{"};
    loaded_file f = load_real_file("Win7/CMD.EXE-4A81B364.pf");
    for (const std::string& name : hostile) {
        f.record.exe_name = f.record.target_path = f.record.modules[0] = f.record.volumes[0].device_path = name;
        f.record.volumes[0].directories[0] = name;
        f.facts.path = f.facts.name = name;
        for (const report_settings& settings : hostile_chain::variants()) {
            std::string out;
            const std::unique_ptr<report_writer> writer = make_report_writer(settings);
            writer->write(f.facts, f.record, out);
            writer->put_in_order(out);
            EXPECT_EQ(report_shape::check(out, settings), "") << name;
        }
    }
    // A quote inside a quoted CSV field is doubled; a separator inside an unquoted one becomes a space.
    f.record.exe_name = "A\"B,C";
    std::string out;
    make_report_writer(settings_of({"-csv", "-enable_quoted_csv_fields"}).report)->write(f.facts, f.record, out);
    EXPECT_TRUE(has(out, ",\"A\"\"B,C\","));
    out.clear();
    make_report_writer(settings_of({"-csv"}).report)->write(f.facts, f.record, out);
    EXPECT_TRUE(has(out, ",A\"B C,"));
}

}  // namespace
}  // namespace runtrail::test
