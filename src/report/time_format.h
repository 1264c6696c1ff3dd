// How dates and times look in reports: the -dateformat and -timeformat patterns, compiled once
// when the options are read, and the one formatter every report and column uses. All times are
// UTC.
//
// A date pattern is three tokens in day-month-year, month-day-year or year-month-day order, joined
// by one separator ("/", "-" or a space): "dd" the day, "mm" the month or "mmm" its name, "yyyy" the
// year or "yy" its last two digits. With a space and the month first, the day may carry a comma
// ("mmm dd, yy"). A time pattern is "hh:mm:ss", optionally followed by "." and 3 to 9 "x", the digits
// of the fraction of the second (cut, never rounded). Patterns are read case-insensitively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace runtrail {

constexpr std::string_view k_default_date_pattern = "yyyy-mm-dd";
constexpr std::string_view k_default_time_pattern = "hh:mm:ss.xxx";

class time_format {
public:
    // "yyyy-mm-dd" and "hh:mm:ss.xxx".
    time_format();

    // A date pattern as described above, of 8 or 10 characters; nothing for any other.
    bool set_date_pattern(std::string_view pattern);
    // A time pattern as described above, of 8 or 12 to 18 characters; nothing for any other.
    bool set_time_pattern(std::string_view pattern);

    // The date and the time of a printable FILETIME; false and two empty texts for any other.
    bool render(uint64_t filetime, std::string& date, std::string& time_text) const;
    // Date, one space, time; a time that is not printable gives the space alone.
    std::string text(uint64_t filetime) const;
    // The same with whole seconds only.
    std::string text_whole_seconds(uint64_t filetime) const;

    // Lengths of the patterns as given: the widths of the date and time columns of a padded table.
    size_t date_width() const { return date_width_; }
    size_t time_width() const { return time_width_; }

private:
    enum class field_order { day_month_year, month_day_year, year_month_day };
    void render_date(int32_t year, uint32_t month, uint32_t day, std::string& date) const;

    field_order order_ = field_order::year_month_day;
    char separator_ = '-';
    bool two_digit_year_ = false;
    bool month_name_ = false;
    bool comma_after_day_ = false;
    unsigned fraction_digits_ = 3;
    size_t date_width_ = k_default_date_pattern.size();
    size_t time_width_ = k_default_time_pattern.size();
};

}  // namespace runtrail
