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

texts by_spec(uint64_t ft, const std::string& date_pattern, const std::string& time_pattern, bool pair = false) {
    qn::time_format_spec spec;
    qn::compile_time_format(date_pattern, time_pattern, pair, spec);
    texts r;
    r.ok = qn::format_date_time_spec(r.date, r.time, at(ft), spec);
    return r;
}

// Days since 1970-01-01 of a proleptic Gregorian date, by the well-known era arithmetic; an
// independent reference for the FILETIME breakdown.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

}  // namespace

TEST(DateTimePatterns, DocumentedExamplesFromBothFormatters) {
    struct example {
        const char* date_pattern;
        const char* time_pattern;
        const char* pattern_date;
        const char* pattern_time;
        const char* spec_date;
        const char* spec_time;
    };
    const example examples[] = {
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
        {"yyyy-mm-dd", "hh:mm:ss.xxxxxxxxx", "2014-03-05", "12:34:56.789123400", "2014-03-05",
         "12:34:56.789123400"},
        {"yyyy-mm-dd", "hh:mm:ss.xxxx", "2014-03-05", "12:34:56.7891", "2014-03-05", "12:34:56.7891"},
        // Upper case patterns are matched as lower case.
        {"YYYY-MM-DD", "HH:MM:SS.XXX", "2014-03-05", "12:34:56.789", "2014-03-05", "12:34:56.789"},
    };
    for (const example& e : examples) {
        SCOPED_TRACE(std::string(e.date_pattern) + " " + e.time_pattern);
        const texts p = by_pattern(k_sample, e.date_pattern, e.time_pattern);
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.date, e.pattern_date);
        EXPECT_EQ(p.time, e.pattern_time);
        const texts s = by_spec(k_sample, e.date_pattern, e.time_pattern);
        EXPECT_TRUE(s.ok);
        EXPECT_EQ(s.date, e.spec_date);
        EXPECT_EQ(s.time, e.spec_time);
    }
    std::string date, time_text;
    ASSERT_TRUE(qn::format_date_time_nofrac(date, time_text, at(k_sample), "yyyy-mm-dd", "hh:mm:ss.xxx"));
    EXPECT_EQ(date, "2014-03-05");
    EXPECT_EQ(time_text, "12:34:56");
}

TEST(DateTimePatterns, EachElementAlone) {
    EXPECT_EQ(by_pattern(k_sample, "", "hh:mm").time, "12:34");
    EXPECT_EQ(by_pattern(k_sample, "", "ss").time, ":56");  // seconds always come with their colon
    EXPECT_EQ(by_pattern(k_sample, "", "xxx").time, ".789");
    EXPECT_EQ(by_pattern(k_sample, "", "").time, "");
    EXPECT_EQ(by_pattern(k_sample, "", "hh:mm:ss").date, "");
    // A date pattern lacking a day, month or year token falls back to month/day/year.
    EXPECT_EQ(by_pattern(k_sample, "yyyy-m-d", "").date, "03/05/2014");
    EXPECT_EQ(by_pattern(k_sample, "mmm", "").date, "Mar/05/2014");
    EXPECT_EQ(by_pattern(k_sample, "yy", "").date, "03/05/14");
    EXPECT_EQ(by_pattern(k_sample, "dd", "").date, "03/05/2014");
    // Day before month in a pattern that starts with the year.
    EXPECT_EQ(by_pattern(k_sample, "yyyy/dd/mm", "").date, "2014/05/03");
    // The comma follows the day only when the day comes after the month.
    EXPECT_EQ(by_pattern(k_sample, "dd mmm, yy", "").date, "05 Mar 14");
    EXPECT_EQ(by_pattern(k_sample, "mm dd, yyyy", "").date, "03 05, 2014");

    EXPECT_STREQ(qn::month_abbrev(1), "Jan");
    EXPECT_STREQ(qn::month_abbrev(12), "Dec");
    EXPECT_STREQ(qn::month_abbrev(0), "");
    EXPECT_STREQ(qn::month_abbrev(13), "");
}

TEST(DateTimePatterns, FractionDigitsOneToNineTruncateTheStoredTicks) {
    const char* expected[] = {"", ".7", ".78", ".789", ".7891", ".78912", ".789123", ".7891234", ".78912340",
                              ".789123400"};
    for (unsigned n = 0; n <= 9; ++n) {
        SCOPED_TRACE(n);
        qn::time_format_spec spec;
        ASSERT_TRUE(qn::compile_time_format("yyyy-mm-dd", "hh:mm:ss", false, spec));
        spec.fraction = static_cast<uint8_t>(n << 1);
        std::string date, time_text;
        ASSERT_TRUE(qn::format_date_time_spec(date, time_text, at(k_sample), spec));
        EXPECT_EQ(time_text, std::string("12:34:56") + expected[n]);
        if (n >= 3) {
            const std::string pattern = "hh:mm:ss." + std::string(n, 'x');
            EXPECT_EQ(by_pattern(k_sample, "yyyy-mm-dd", pattern).time, std::string("12:34:56") + expected[n]);
        }
    }
    // Every digit is truncated, never rounded: .9999999 stays .999.
    EXPECT_EQ(by_pattern(441796895999999999ULL, "yyyy-mm-dd", "hh:mm:ss.xxx").time, "23:59:59.999");
    EXPECT_EQ(by_pattern(441796895999999999ULL, "yyyy-mm-dd", "hh:mm:ss.xxxxxxxxx").time, "23:59:59.999999900");
    // More than nine: the pattern formatter writes no fraction, the compiled form keeps nine.
    const std::string ten = "hh:mm:ss.xxxxxxxxxx";
    EXPECT_EQ(by_pattern(k_sample, "yyyy-mm-dd", ten).time, "12:34:56");
    EXPECT_EQ(by_spec(k_sample, "yyyy-mm-dd", ten).time, "12:34:56.789123400");
}

TEST(DateTimePatterns, CompiledForm) {
    qn::time_format_spec spec;
    ASSERT_TRUE(qn::compile_time_format("yyyy-mm-dd", "hh:mm:ss.xxx", false, spec));
    EXPECT_EQ(spec.separator, '-');
    EXPECT_EQ(spec.layout, qn::k_layout_month_digits | qn::k_layout_year4 | qn::k_layout_ymd);
    EXPECT_EQ(spec.fraction, 3 << 1);

    ASSERT_TRUE(qn::compile_time_format("mmm dd, yy", "hh:mm:ss.xxxxxx", true, spec));
    EXPECT_EQ(spec.separator, ' ');
    EXPECT_EQ(spec.layout, qn::k_layout_month_name | qn::k_layout_year2 | qn::k_layout_comma | qn::k_layout_mdy);
    EXPECT_EQ(spec.fraction, (6 << 1) | 1);

    ASSERT_TRUE(qn::compile_time_format("dd.mm.yy", "hh:mm:ss", false, spec));
    EXPECT_EQ(spec.separator, 0);
    EXPECT_EQ(spec.layout, qn::k_layout_month_digits | qn::k_layout_year2 | qn::k_layout_dmy);
    EXPECT_EQ(spec.fraction, 0);

    // Rejected patterns: wrong order, or a missing day, month or year. What was found before
    // the failing step stays, and the fraction digits are never read.
    EXPECT_FALSE(qn::compile_time_format("yyyy/dd/mm", "hh:mm:ss.xxx", false, spec));
    EXPECT_EQ(spec.separator, '/');
    EXPECT_EQ(spec.layout, qn::k_layout_month_digits | qn::k_layout_year4);
    EXPECT_EQ(spec.fraction, 0);
    EXPECT_FALSE(qn::compile_time_format("yyyy-m-d", "hh:mm:ss.xxx", false, spec));
    EXPECT_EQ(spec.layout, 0);
    EXPECT_FALSE(qn::compile_time_format("mm/dd/..", "hh:mm:ss", false, spec));
    EXPECT_FALSE(qn::compile_time_format("mm/yy/..", "hh:mm:ss", false, spec));

    // A spec that never got an order prints the default date and time rather than losing the
    // date of a valid time.
    const texts fallback = by_spec(k_sample, "yyyy-m-d", "hh:mm:ss");
    EXPECT_TRUE(fallback.ok);
    EXPECT_EQ(fallback.date, "2014-03-05");
    EXPECT_EQ(fallback.time, "12:34:56.789");
    const texts never_compiled = [] {
        texts r;
        r.ok = qn::format_date_time_spec(r.date, r.time, at(k_sample), qn::time_format_spec{});
        return r;
    }();
    EXPECT_EQ(never_compiled.date, "2014-03-05");
    EXPECT_EQ(never_compiled.time, "12:34:56.789");
}

TEST(DateTimePatterns, OptionValueLengthRules) {
    EXPECT_TRUE(qn::date_pattern_acceptable("mm/dd/yy"));
    EXPECT_TRUE(qn::date_pattern_acceptable("yyyy-mm-dd"));
    EXPECT_TRUE(qn::date_pattern_acceptable("yyyy-m-d"));
    EXPECT_FALSE(qn::date_pattern_acceptable("dd-mmm-yyyy"));
    EXPECT_FALSE(qn::date_pattern_acceptable("m/d/yy"));
    EXPECT_FALSE(qn::date_pattern_acceptable(""));

    EXPECT_TRUE(qn::time_pattern_acceptable("hh:mm:ss"));
    EXPECT_TRUE(qn::time_pattern_acceptable("HH:MM:SS"));
    EXPECT_TRUE(qn::time_pattern_acceptable("hh:mm:ss.xxx"));
    EXPECT_TRUE(qn::time_pattern_acceptable("hh:mm:ss.xxxxxx"));
    EXPECT_TRUE(qn::time_pattern_acceptable("hh:mm:ss.xxxxxxxxx"));
    EXPECT_FALSE(qn::time_pattern_acceptable("hh-mm-ss"));
    EXPECT_FALSE(qn::time_pattern_acceptable("hhmmss"));
    EXPECT_FALSE(qn::time_pattern_acceptable("hh:mm:ss.x"));
    EXPECT_FALSE(qn::time_pattern_acceptable("hh:mm:ss.xxxxxxxxxx"));
}

TEST(DateTimePatterns, HugePatternsStayBounded) {
    const std::string long_date(100000, 'y');
    const std::string long_time = "hh:mm:ss." + std::string(100000, 'x') + std::string(5000, 's');
    const texts p = by_pattern(k_sample, long_date + "mmmdd", long_time);
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.date, "2014/Mar/05");
    EXPECT_EQ(p.time, "12:34:56");
    const texts s = by_spec(k_sample, long_date + "mmmdd", long_time);
    EXPECT_EQ(s.date, "2014/Mar/05");
    EXPECT_EQ(s.time, "12:34:56.789123400");
}

TEST(DateTimePatterns, DatesAcrossTheValidRange) {
    struct point {
        uint64_t ft;
        const char* date;  // empty: not a printable time
        const char* time;
    };
    const point points[] = {
        {0, "", ""},
        {864000000000ULL, "", ""},             // 1601-01-02: before 1900
        {94354847990000000ULL, "", ""},        // 1899-12-31 23:59:59
        {94354848000000000ULL, "1900-01-01", "00:00:00.000"},
        {94405823990000000ULL, "1900-02-28", "23:59:59.000"},
        {94405824000000000ULL, "1900-03-01", "00:00:00.000"},  // 1900 has no Feb 29
        {116444735990000000ULL, "1969-12-31", "23:59:59.000"},
        {116444736000000000ULL, "", ""},       // the first second of 1970 means "no time"
        {116444736009999999ULL, "", ""},
        {116444736010000000ULL, "1970-01-01", "00:00:01.000"},
        {125962992000000000ULL, "2000-02-29", "12:00:00.000"},
        {127490111990000000ULL, "2004-12-31", "23:59:59.000"},
        {133536384000000000ULL, "2024-02-29", "00:00:00.000"},
        {137919572480000000ULL, "2038-01-19", "03:14:08.000"},  // past the 32-bit Unix limit
        {157519296000000000ULL, "2100-02-28", "00:00:00.000"},
        {441796895999999999ULL, "3000-12-31", "23:59:59.999"},
        {441796896000000000ULL, "", ""},       // 3001-01-01
        {~0ULL, "", ""},
    };
    for (const point& pt : points) {
        SCOPED_TRACE(pt.ft);
        const bool printable = pt.date[0] != '\0';
        const texts p = by_pattern(pt.ft, "yyyy-mm-dd", "hh:mm:ss.xxx");
        EXPECT_EQ(p.ok, printable);
        EXPECT_EQ(p.date, pt.date);
        EXPECT_EQ(p.time, pt.time);
        const texts s = by_spec(pt.ft, "yyyy-mm-dd", "hh:mm:ss.xxx");
        EXPECT_EQ(s.ok, printable);
        EXPECT_EQ(s.date, pt.date);
        EXPECT_EQ(s.time, pt.time);
    }
}

TEST(WindowsTime, BreakdownMatchesCivilCalendarEveryDayFrom1601To3200) {
    constexpr int64_t k_days_1601_to_1970 = 134774;
    const int64_t first = days_from_civil(1601, 1, 1);
    const int64_t last = days_from_civil(3200, 12, 31);
    int64_t y = 1601;
    unsigned m = 1, d = 1;
    static const unsigned k_month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int64_t day = first; day <= last; ++day) {
        ASSERT_EQ(days_from_civil(y, m, d), day);
        // A time of day that walks through the whole day as the dates go by.
        const uint64_t second_of_day = static_cast<uint64_t>(((day * 7919) % 86400 + 86400) % 86400);
        const uint64_t ft = (static_cast<uint64_t>(day + k_days_1601_to_1970) * 86400 + second_of_day) * 10'000'000ULL + 1234567;
        qn::_windows_systemtime st;
        ASSERT_TRUE(qn::filetime_to_systemtime(ft, st));
        ASSERT_EQ(st.year, y);
        ASSERT_EQ(st.month, m);
        ASSERT_EQ(st.day, d);
        ASSERT_EQ(st.hour, second_of_day / 3600);
        ASSERT_EQ(st.minute, second_of_day % 3600 / 60);
        ASSERT_EQ(st.second, second_of_day % 60);
        ASSERT_EQ(st.day_of_week, static_cast<uint16_t>(((day % 7) + 7 + 4) % 7));  // 1970-01-01 was a Thursday
        ASSERT_EQ(st.millisecond, 123);
        ASSERT_EQ(st.microseconds, 123456u);
        ASSERT_EQ(st.nanoseconds, 123456700u);
        const bool leap = (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0));
        const unsigned length = k_month_days[m - 1] + (m == 2 && leap ? 1 : 0);
        if (++d > length) {
            d = 1;
            if (++m > 12) m = 1, ++y;
        }
    }
}

TEST(WindowsTime, LargestFiletimeBreaksDownExactly) {
    // The largest FILETIME with bit 63 clear: 30828-09-14 02:48:05.4775807 UTC.
    qn::_windows_systemtime st;
    ASSERT_TRUE(qn::filetime_to_systemtime(0x7FFFFFFFFFFFFFFFULL, st));
    EXPECT_EQ(st.year, 30828);
    EXPECT_EQ(st.month, 9);
    EXPECT_EQ(st.day, 14);
    EXPECT_EQ(st.hour, 2);
    EXPECT_EQ(st.minute, 48);
    EXPECT_EQ(st.second, 5);
    EXPECT_EQ(st.millisecond, 477);
    EXPECT_FALSE(qn::time(0x7FFFFFFFFFFFFFFFLL, qn::type_filetime).valid);
    EXPECT_FALSE(qn::filetime_to_systemtime(0x8000000000000000ULL, st));
    EXPECT_EQ(st.year, 0);
}
