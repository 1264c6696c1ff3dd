#include <gtest/gtest.h>

#include <string>

#include "qn_time.h"
#include "time_format.h"

namespace {

constexpr uint64_t k_sample = 130384964967891234ULL;  // 2014-03-05 12:34:56.7891234 UTC

qn::time at(uint64_t ft) { return qn::time(static_cast<int64_t>(ft), qn::type_filetime); }

struct texts {
    bool ok;
    std::string date, time;
};

texts by_pattern(uint64_t ft, const std::string& date_pattern, const std::string& time_pattern) {
    texts r;
    r.ok = qn::format_date_time(r.date, r.time, at(ft), date_pattern, time_pattern);
    return r;
}

texts by_spec(uint64_t ft, const std::string& date_pattern, const std::string& time_pattern) {
    qn::time_format_spec compiled;
    qn::compile_time_format(date_pattern, time_pattern, false, compiled);
    texts r;
    r.ok = qn::format_date_time_spec(r.date, r.time, at(ft), compiled);
    return r;
}

// Days since 1970-01-01 of a proleptic Gregorian date, by the well-known era arithmetic; an
// independent reference for the FILETIME breakdown.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return era * 146097 + static_cast<int64_t>(yoe * 365 + yoe / 4 - yoe / 100 + doy) - 719468;
}

}  // namespace

// Each row: the patterns, then what the pattern formatter and the compiled formatter print.
TEST(DateTimePatterns, DocumentedExamplesFromBothFormatters) {
    const char* const examples[][6] = {
        {"yyyy-mm-dd", "hh:mm:ss.xxx", "2014-03-05", "12:34:56.789", "2014-03-05", "12:34:56.789"},
        {"mm/dd/yyyy", "hh:mm:ss.xxx", "03/05/2014", "12:34:56.789", "03/05/2014", "12:34:56.789"},
        {"dd/mm/yyyy", "hh:mm:ss.xxx", "05/03/2014", "12:34:56.789", "05/03/2014", "12:34:56.789"},
        {"yyyy/mm/dd", "hh:mm:ss.xxx", "2014/03/05", "12:34:56.789", "2014/03/05", "12:34:56.789"},
        {"mm/dd/yy", "hh:mm:ss.xxx", "03/05/14", "12:34:56.789", "03/05/2014", "12:34:56.789"},
        {"mmm dd, yy", "hh:mm:ss.xxx", "Mar 05, 14", "12:34:56.789", "Mar 05 2014", "12:34:56.789"},
        {"yyyymmdd", "hh:mm:ss.xxx", "2014/03/05", "12:34:56.789", "2014/03/05", "12:34:56.789"},
        {"dd.mm.yy", "hh:mm:ss.xxx", "05/03/14", "12:34:56.789", "05/03/2014", "12:34:56.789"},
        {"dd-mmm-yyyy", "hh:mm:ss", "05-Mar-2014", "12:34:56", "05-Mar-2014", "12:34:56"},
        {"yyyy mmm dd", "hh:mm:ss", "2014 Mar 05", "12:34:56", "2014 Mar 05", "12:34:56"},
        {"yyyy-mm-dd", "hh:mm:ss", "2014-03-05", "12:34:56", "2014-03-05", "12:34:56"},
        {"yyyy-mm-dd", "hh:mm:ss.xxxxxx", "2014-03-05", "12:34:56.789123", "2014-03-05", "12:34:56.789123"},
        {"yyyy-mm-dd", "hh:mm:ss.xxxxxxxxx", "2014-03-05", "12:34:56.789123400", "2014-03-05", "12:34:56.789123400"},
        {"yyyy-mm-dd", "hh:mm:ss.xxxx", "2014-03-05", "12:34:56.7891", "2014-03-05", "12:34:56.7891"},
        {"YYYY-MM-DD", "HH:MM:SS.XXX", "2014-03-05", "12:34:56.789", "2014-03-05", "12:34:56.789"},  // any case
        // A pattern the compiler rejects still prints the default date rather than losing it.
        {"yyyy-m-d", "hh:mm:ss", "03/05/2014", "12:34:56", "2014-03-05", "12:34:56.789"},
        // More than nine fraction digits: the pattern formatter writes none, the compiled form nine.
        {"yyyy-mm-dd", "hh:mm:ss.xxxxxxxxxx", "2014-03-05", "12:34:56", "2014-03-05", "12:34:56.789123400"},
    };
    for (const auto& e : examples) {
        SCOPED_TRACE(std::string(e[0]) + " " + e[1]);
        const texts p = by_pattern(k_sample, e[0], e[1]), s = by_spec(k_sample, e[0], e[1]);
        EXPECT_TRUE(p.ok && s.ok);
        EXPECT_EQ(p.date + "|" + p.time + "|" + s.date + "|" + s.time,
                  std::string(e[2]) + "|" + e[3] + "|" + e[4] + "|" + e[5]);
    }
    std::string date, time_text;
    ASSERT_TRUE(qn::format_date_time_nofrac(date, time_text, at(k_sample), "yyyy-mm-dd", "hh:mm:ss.xxx"));
    EXPECT_EQ(date + " " + time_text, "2014-03-05 12:34:56");
    // Huge patterns stay bounded.
    const std::string huge_date = std::string(100000, 'y') + "mmmdd";
    const std::string huge_time = "hh:mm:ss." + std::string(100000, 'x') + std::string(5000, 's');
    const texts hp = by_pattern(k_sample, huge_date, huge_time), hs = by_spec(k_sample, huge_date, huge_time);
    EXPECT_EQ(hp.date + " " + hp.time + "|" + hs.date + " " + hs.time,
              "2014/Mar/05 12:34:56|2014/Mar/05 12:34:56.789123400");
    const texts never_compiled = [] {
        texts r;
        r.ok = qn::format_date_time_spec(r.date, r.time, at(k_sample), qn::time_format_spec{});
        return r;
    }();
    EXPECT_EQ(never_compiled.date + " " + never_compiled.time, "2014-03-05 12:34:56.789");
}

TEST(DateTimePatterns, EachElementAloneAndFallbackDateOrders) {
    const char* const cases[][3] = {  // date pattern, time pattern, date + "|" + time
        {"", "hh:mm", "|12:34"},
        {"", "ss", "|:56"},  // seconds always come with their colon
        {"", "xxx", "|.789"},
        {"", "", "|"},
        {"yyyy-m-d", "", "03/05/2014|"},  // no day, month or year token: month/day/year
        {"mmm", "", "Mar/05/2014|"},
        {"yy", "", "03/05/14|"},
        {"dd", "", "03/05/2014|"},
        {"yyyy/dd/mm", "", "2014/05/03|"},
        {"dd mmm, yy", "", "05 Mar 14|"},  // the comma follows the day only after the month
        {"mm dd, yyyy", "", "03 05, 2014|"},
    };
    for (const auto& c : cases) {
        const texts p = by_pattern(k_sample, c[0], c[1]);
        EXPECT_EQ(p.date + "|" + p.time, c[2]) << c[0] << " " << c[1];
    }
    EXPECT_EQ(std::string(qn::month_abbrev(1)) + qn::month_abbrev(12) + qn::month_abbrev(0) + qn::month_abbrev(13),
              "JanDec");
    qn::time_format_spec compiled;
    for (const char* rejected : {"yyyy/dd/mm", "yyyy-m-d", "mm/dd/..", "mm/yy/.."})
        EXPECT_FALSE(qn::compile_time_format(rejected, "hh:mm:ss.xxx", false, compiled)) << rejected;
}

TEST(DateTimePatterns, FractionDigitsOneToNineTruncateTheStoredTicks) {
    const char* expected[] = {"", ".7", ".78", ".789", ".7891", ".78912", ".789123", ".7891234", ".78912340",
                              ".789123400"};
    for (unsigned n = 0; n <= 9; ++n) {
        SCOPED_TRACE(n);
        qn::time_format_spec compiled;
        ASSERT_TRUE(qn::compile_time_format("yyyy-mm-dd", "hh:mm:ss", false, compiled));
        compiled.fraction = static_cast<uint8_t>(n << 1);
        std::string date, time_text;
        ASSERT_TRUE(qn::format_date_time_spec(date, time_text, at(k_sample), compiled));
        EXPECT_EQ(time_text, std::string("12:34:56") + expected[n]);
        if (n >= 3) {
            EXPECT_EQ(by_pattern(k_sample, "", "hh:mm:ss." + std::string(n, 'x')).time, time_text);
        }
    }
    // Truncated, never rounded: .9999999 stays .999.
    EXPECT_EQ(by_pattern(441796895999999999ULL, "", "hh:mm:ss.xxx").time, "23:59:59.999");
    EXPECT_EQ(by_pattern(441796895999999999ULL, "", "hh:mm:ss.xxxxxxxxx").time, "23:59:59.999999900");
}

TEST(DateTimePatterns, OptionValueLengthRules) {
    const std::pair<const char*, bool> dates[] = {{"mm/dd/yy", true},     {"yyyy-mm-dd", true}, {"yyyy-m-d", true},
                                                  {"dd-mmm-yyyy", false}, {"m/d/yy", false},    {"", false}};
    for (const auto& [pattern, ok] : dates) EXPECT_EQ(qn::date_pattern_acceptable(pattern), ok) << pattern;
    const std::pair<const char*, bool> times[] = {
        {"hh:mm:ss", true},  {"HH:MM:SS", true}, {"hh:mm:ss.xxx", true},  {"hh:mm:ss.xxxxxx", true},
        {"hh:mm:ss.xxxxxxxxx", true}, {"hh-mm-ss", false}, {"hhmmss", false}, {"hh:mm:ss.x", false},
        {"hh:mm:ss.xxxxxxxxxx", false}};
    for (const auto& [pattern, ok] : times) EXPECT_EQ(qn::time_pattern_acceptable(pattern), ok) << pattern;
}

TEST(DateTimePatterns, DatesAcrossTheValidRange) {
    const std::pair<uint64_t, const char*> points[] = {  // "|": not a printable time
        {0, "|"},
        {864000000000ULL, "|"},         // 1601-01-02: before 1900
        {94354847990000000ULL, "|"},    // 1899-12-31 23:59:59
        {94354848000000000ULL, "1900-01-01|00:00:00.000"},
        {94405823990000000ULL, "1900-02-28|23:59:59.000"},
        {94405824000000000ULL, "1900-03-01|00:00:00.000"},  // 1900 has no Feb 29
        {116444735990000000ULL, "1969-12-31|23:59:59.000"},
        {116444736000000000ULL, "|"},   // the first second of 1970 means "no time"
        {116444736009999999ULL, "|"},
        {116444736010000000ULL, "1970-01-01|00:00:01.000"},
        {125962992000000000ULL, "2000-02-29|12:00:00.000"},
        {127490111990000000ULL, "2004-12-31|23:59:59.000"},
        {133536384000000000ULL, "2024-02-29|00:00:00.000"},
        {137919572480000000ULL, "2038-01-19|03:14:08.000"},  // past the 32-bit Unix limit
        {157519296000000000ULL, "2100-02-28|00:00:00.000"},
        {441796895999999999ULL, "3000-12-31|23:59:59.999"},
        {441796896000000000ULL, "|"},   // 3001-01-01
        {~0ULL, "|"},
    };
    for (const auto& [ft, expected] : points) {
        const texts p = by_pattern(ft, "yyyy-mm-dd", "hh:mm:ss.xxx"), s = by_spec(ft, "yyyy-mm-dd", "hh:mm:ss.xxx");
        const bool printable = expected[1] != '\0';
        EXPECT_TRUE(p.ok == printable && s.ok == printable) << ft;
        EXPECT_EQ(p.date + "|" + p.time, expected) << ft;
        EXPECT_EQ(s.date + "|" + s.time, expected) << ft;
    }
}

TEST(WindowsTime, BreakdownMatchesCivilCalendarEveryDayFrom1601To3200) {
    constexpr int64_t k_days_1601_to_1970 = 134774;
    static const unsigned k_month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int64_t y = 1601;
    unsigned m = 1, d = 1;
    for (int64_t day = days_from_civil(1601, 1, 1); day <= days_from_civil(3200, 12, 31); ++day) {
        ASSERT_EQ(days_from_civil(y, m, d), day);
        // A time of day that walks through the whole day as the dates go by.
        const uint64_t sec = static_cast<uint64_t>(((day * 7919) % 86400 + 86400) % 86400);
        const uint64_t ft = (static_cast<uint64_t>(day + k_days_1601_to_1970) * 86400 + sec) * 10'000'000ULL + 1234567;
        qn::_windows_systemtime st;
        ASSERT_TRUE(qn::filetime_to_systemtime(ft, st));
        ASSERT_TRUE(st.year == y && st.month == m && st.day == d) << y << "-" << m << "-" << d;
        ASSERT_TRUE(st.hour == sec / 3600 && st.minute == sec % 3600 / 60 && st.second == sec % 60) << ft;
        ASSERT_EQ(st.day_of_week, static_cast<uint16_t>(((day % 7) + 7 + 4) % 7));  // 1970-01-01: a Thursday
        ASSERT_TRUE(st.millisecond == 123 && st.microseconds == 123456u && st.nanoseconds == 123456700u);
        const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
        if (++d > k_month_days[m - 1] + (m == 2 && leap ? 1 : 0)) {
            d = 1;
            if (++m > 12) m = 1, ++y;
        }
    }
    // The largest FILETIME with bit 63 clear: 30828-09-14 02:48:05.4775807 UTC, too late to print.
    qn::_windows_systemtime st;
    ASSERT_TRUE(qn::filetime_to_systemtime(0x7FFFFFFFFFFFFFFFULL, st));
    EXPECT_TRUE(st.year == 30828 && st.month == 9 && st.day == 14 && st.hour == 2 && st.minute == 48 &&
                st.second == 5 && st.millisecond == 477);
    EXPECT_FALSE(at(0x7FFFFFFFFFFFFFFFULL).valid);
    EXPECT_FALSE(qn::filetime_to_systemtime(0x8000000000000000ULL, st));
    EXPECT_EQ(st.year, 0);
}
