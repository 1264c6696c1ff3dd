// -timesketch events held against the text report's times and Timesketch's import rules: every
// valid time of every real file is one event with the three required fields, and no time that is
// not valid makes one.
#include <ctime>

#include "report_shape.h"
#include "test_support.h"

namespace runtrail::test {
namespace {

// "yyyy-mm-ddThh:mm:ss.ffffff+00:00" of microseconds since 1970.
std::string datetime_of(int64_t microseconds) {
    const time_t seconds = static_cast<time_t>(microseconds / 1000000 - (microseconds % 1000000 < 0 ? 1 : 0));
    std::tm t{};
    gmtime_r(&seconds, &t);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lld+00:00", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<long long>(microseconds - seconds * 1000000LL));
    return text;
}

TEST(Timesketch, EveryValidTimeOfEveryRealFileIsOneEventAtTheNearestMicrosecond) {
    const std::pair<std::string, const char*> kinds[] = {
        {"Last run:       ", "Last Time Executed"}, {"Prev run:       ", "Previous Last Time Executed"},
        {"time created: ", "Creation Time"}};
    size_t events = 0, rounded_up = 0;
    for (const std::string& file : real_files()) {
        const loaded_file f = load_real_file(file);
        // The text report's times to the 100 ns, rounded half up to the microsecond as plaso does.
        std::vector<std::string> expected;
        for (const std::string& line : lines_of(report_of({"-timeformat", "hh:mm:ss.xxxxxxx"}, f)))
            for (const auto& [label, description] : kinds) {
                if (!line.starts_with(label) || line.size() <= label.size() + 1) continue;
                std::tm t{};
                int ticks = -1;
                ASSERT_EQ(std::sscanf(line.c_str() + label.size(), "%4d-%2d-%2d %2d:%2d:%2d.%7d", &t.tm_year, &t.tm_mon,
                                      &t.tm_mday, &t.tm_hour, &t.tm_min, &t.tm_sec, &ticks), 7) << line;
                t.tm_year -= 1900;
                t.tm_mon -= 1;
                const int64_t microseconds = static_cast<int64_t>(timegm(&t)) * 1000000 + (ticks + 5) / 10;
                rounded_up += ticks % 10 >= 5;
                expected.push_back(std::string(description) + " " + datetime_of(microseconds) + " " +
                                   std::to_string(microseconds));
            }
        std::vector<std::string> seen;
        for (const std::string& line : lines_of(report_of({"-timesketch", "-hostname", "WS01"}, f))) {
            EXPECT_TRUE(report_shape::json_checker(line).whole_value()) << line;
            EXPECT_NE(json_member(line, "message"), "absent") << line;
            EXPECT_EQ(json_member(line, "hostname"), "WS01") << line;
            EXPECT_EQ(json_member(line, "filename"), file) << line;
            ++events;
            seen.push_back(json_member(line, "timestamp_desc") + " " + json_member(line, "datetime") + " " +
                           json_member(line, "timestamp"));
        }
        EXPECT_EQ(seen, expected) << file;
    }
    EXPECT_EQ(events, 192u);
    EXPECT_GT(rounded_up, 50u);  // about half of all times
}

TEST(Timesketch, TimesThatAreNotValidGiveNoEvent) {
    loaded_file f = load_real_file("Win8x/CALC.EXE-77FDF17F.pf");
    // Not one of these is a time: zero, bit 63 set, the first second of 1970, years 1899 and 3001.
    f.record.last_run = 0;
    f.record.earlier_runs = {1ULL << 63, 116444736000000000ULL + 9999999, 94354847999999999ULL, 441796896000000000ULL};
    f.record.volumes[0].created = 0xFFFFFFFFFFFFFFFFULL;
    EXPECT_EQ(report_of({"-timesketch"}, f), "");
    // A slot repeating the last run is that run; the earliest and latest valid years still count.
    // Half a microsecond rounds up, less rounds down, and the carry may reach the next year.
    f.record.last_run = 130970237009853304ULL;
    f.record.earlier_runs = {94354848000000004ULL, 94354848000000015ULL, 130970237009853304ULL,
                             441796895999999999ULL};
    const std::string events = report_of({"-timesketch"}, f);
    EXPECT_EQ(std::count(events.begin(), events.end(), '\n'), 4) << events;
    for (const char* time : {"\"datetime\":\"2016-01-11T22:08:20.985330+00:00\",\"timestamp\":1452550100985330",
                             "\"datetime\":\"1900-01-01T00:00:00.000000+00:00\",\"timestamp\":-2208988800000000",
                             "\"datetime\":\"1900-01-01T00:00:00.000002+00:00\",\"timestamp\":-2208988799999998",
                             "\"datetime\":\"3001-01-01T00:00:00.000000+00:00\",\"timestamp\":32535216000000000"})
        EXPECT_TRUE(has(events, time));
}

TEST(Timesketch, PathHintsAndMappedFilesAreBuiltAsPlasoBuildsThem) {
    loaded_file f = load_real_file("Win7/CMD.EXE-4A81B364.pf");
    const std::vector<std::pair<std::string, uint64_t>> added = {
        {"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSWOW64\\cmd.exe", 0},                 // a second hint, any case
        {"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\EN-US\\CMD.EXE.MUI", 0x0002000000000005},  // no hint
        {"\\DEVICE\\HARDDISKVOLUME22\\CMD.EXE", 0x0000FFFFFFFFFFFF},  // not on \DEVICE\HARDDISKVOLUME2
        {"", 0x0001000000000007},                                            // empty: not a mapped file
    };
    for (const auto& [path, reference] : added) {
        f.record.modules.push_back(path);
        f.record.module_references.push_back({reference});
    }
    const std::string events = report_of({"-timesketch"}, f);
    const std::string first = events.substr(0, events.find('\n'));
    EXPECT_TRUE(has(first, "path hints: \\\\WINDOWS\\\\SYSTEM32\\\\CMD.EXE; \\\\WINDOWS\\\\SYSWOW64\\\\cmd.exe hash: 0x4A81B364 "));
    EXPECT_TRUE(has(first, "\"path_hints\":[\"\\\\WINDOWS\\\\SYSTEM32\\\\CMD.EXE\",\"\\\\WINDOWS\\\\SYSWOW64\\\\cmd.exe\"]"));
    EXPECT_TRUE(has(first, "\"\\\\DEVICE\\\\HARDDISKVOLUME2\\\\WINDOWS\\\\SYSTEM32\\\\NTDLL.DLL [25654-1]\","));
    EXPECT_TRUE(has(first, "SORTDEFAULT.NLS [18174-1]\",\"\\\\DEVICE\\\\HARDDISKVOLUME2\\\\WINDOWS\\\\SYSWOW64\\\\cmd.exe\","
                         "\"\\\\DEVICE\\\\HARDDISKVOLUME2\\\\WINDOWS\\\\SYSTEM32\\\\EN-US\\\\CMD.EXE.MUI [5-2]\","
                         "\"\\\\DEVICE\\\\HARDDISKVOLUME22\\\\CMD.EXE [281474976710655-0]\"],"));

    // No module named after the program: plaso's empty hint list.
    f.record.exe_name = "PING.EXE";
    const std::string none = report_of({"-timesketch"}, f);
    EXPECT_TRUE(has(none, "path hints: [] hash: 0x4A81B364 volume: 1 [serial number: 0x88008C2F, device path: "
                        "\\\\DEVICE\\\\HARDDISKVOLUME2]\""));
    EXPECT_TRUE(has(none, "\"path_hints\":[],"));
}

TEST(Timesketch, AModuleIsHintedOnceHoweverOftenItsVolumeIsListed) {
    loaded_file f = load_real_file("Win7/CMD.EXE-4A81B364.pf");
    // Windows never lists a volume twice; listed 20,000 times under 2,000 copies of the program's
    // path, each module would be hinted on every copy: 40 million hints in each run event.
    f.record.volumes.resize(20000, f.record.volumes[0]);
    const std::string program = "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CMD.EXE";
    f.record.modules.resize(f.record.modules.size() + 1999, program);
    const std::string events = report_of({"-timesketch"}, f);
    const std::string first = events.substr(0, events.find('\n'));
    EXPECT_EQ(count_of(first, "\"\\\\WINDOWS\\\\SYSTEM32\\\\CMD.EXE\""), 2000u);  // the hints array
    EXPECT_LE(events.size(), make_report_writer(settings_of({"-timesketch"}).report)->report_bytes_bound(f.facts, f.record));

    // Nor do volumes matched in vain against many modules of the program's name multiply the work:
    // the module on the last of 20,000 volumes is not looked for that long.
    for (volume_record& volume : f.record.volumes) volume.device_path = "\\DEVICE\\HARDDISKVOLUME9";
    f.record.volumes.back().device_path = "\\DEVICE\\HARDDISKVOLUME2";
    f.record.modules.resize(f.record.modules.size() + 100000, program);
    EXPECT_TRUE(has(report_of({"-timesketch"}, f), "\"path_hints\":[],"));
}

}  // namespace
}  // namespace runtrail::test
