// -timesketch events held against the text report's times and Timesketch's import rules: every
// valid time of every real file is one event with the three required fields, and no time that is
// not valid makes one.
#include <ctime>
#include <sstream>

#include "report_shape.h"
#include "test_support.h"

namespace runtrail::test {
namespace {

std::string report(const std::vector<std::string>& options, const loaded_file& f) {
    std::string out;
    make_report_writer(settings_of(options).report)->write(f.facts, f.record, out);
    return out;
}

// The text of a member `"name":"text"` or `"name":number`; "absent" when there is none.
std::string member(const std::string& line, const std::string& name) {
    const size_t at = line.find("\"" + name + "\":");
    if (at == std::string::npos) return "absent";
    const size_t start = at + name.size() + 3;
    if (line[start] == '"') return line.substr(start + 1, line.find('"', start + 1) - start - 1);
    return line.substr(start, line.find_first_of(",}", start) - start);
}

// Microseconds since 1970 of "yyyy-mm-ddThh:mm:ss.ffffff+00:00"; 0 for any other text.
int64_t microseconds_of(const std::string& datetime) {
    std::tm t{};
    int micro = -1;
    if (std::sscanf(datetime.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%6d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec, &micro) != 7 ||
        datetime.size() != 32 || datetime.substr(26) != "+00:00")
        return 0;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&t)) * 1000000 + micro;
}

TEST(Timesketch, EveryValidTimeOfEveryRealFileIsOneEventAsTheTextReportShowsIt) {
    const std::pair<std::string, const char*> kinds[] = {
        {"Last run:       ", "Last Time Executed"}, {"Prev run:       ", "Previous Last Time Executed"},
        {"time created: ", "Creation Time"}};
    size_t events = 0;
    for (const std::string& file : real_files()) {
        const loaded_file f = load_real_file(file);
        // The text report's times to the microsecond, as events would show them.
        std::vector<std::string> expected;
        std::istringstream text(report({"-timeformat", "hh:mm:ss.xxxxxx"}, f));
        for (std::string line; std::getline(text, line);)
            for (const auto& [label, description] : kinds)
                if (line.starts_with(label) && line.size() > label.size() + 1)
                    expected.push_back(std::string(description) + " " + line.substr(label.size(), 10) + "T" +
                                       line.substr(label.size() + 11) + "+00:00");
        std::vector<std::string> seen;
        std::istringstream lines(report({"-timesketch", "-hostname", "WS01"}, f));
        for (std::string line; std::getline(lines, line); ++events) {
            EXPECT_TRUE(report_shape::json_checker(line).whole_value()) << line;
            EXPECT_NE(member(line, "message"), "absent") << line;
            EXPECT_EQ(member(line, "hostname"), "WS01") << line;
            EXPECT_EQ(member(line, "filename"), file) << line;
            const std::string datetime = member(line, "datetime");
            EXPECT_EQ(member(line, "timestamp"), std::to_string(microseconds_of(datetime))) << line;
            seen.push_back(member(line, "timestamp_desc") + " " + datetime);
        }
        EXPECT_EQ(seen, expected) << file;
    }
    EXPECT_EQ(events, 192u);
}

TEST(Timesketch, TimesThatAreNotValidGiveNoEvent) {
    loaded_file f = load_real_file("Win8x/CALC.EXE-77FDF17F.pf");
    // Not one of these is a time: zero, bit 63 set, the first second of 1970, years 1899 and 3001.
    f.record.last_run = 0;
    f.record.earlier_runs = {1ULL << 63, 116444736000000000ULL + 9999999, 94354847999999999ULL, 441796896000000000ULL};
    f.record.volumes[0].created = 0xFFFFFFFFFFFFFFFFULL;
    EXPECT_EQ(report({"-timesketch"}, f), "");
    // A slot repeating the last run is that run; the earliest and latest valid years still count.
    f.record.last_run = 130970237009853304ULL;
    f.record.earlier_runs = {94354848000000000ULL, 130970237009853304ULL, 441796895999999999ULL};
    const std::string events = report({"-timesketch"}, f);
    EXPECT_EQ(std::count(events.begin(), events.end(), '\n'), 3) << events;
    EXPECT_NE(events.find("\"datetime\":\"1900-01-01T00:00:00.000000+00:00\",\"timestamp\":-2208988800000000"),
              std::string::npos) << events;
    EXPECT_NE(events.find("\"datetime\":\"3000-12-31T23:59:59.999999+00:00\""), std::string::npos) << events;
}

}  // namespace
}  // namespace runtrail::test
