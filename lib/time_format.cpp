// Date and time patterns. Two formatters share the same vocabulary:
//  - format_date_time reads the pattern texts each time (text report, times embedded in lists);
//  - format_date_time_spec reads the compiled form (every date/time column of the tables).
// Both build their texts with std::string, so no pattern, however long, can write past a buffer.
#include "time_format.h"

#include <array>

namespace qn {
namespace {

constexpr auto npos = std::string_view::npos;

constexpr std::array<const char*, 12> k_month_names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Fraction digits are counted from the first "xxx" to the last "x" of a time pattern.
constexpr unsigned k_max_fraction_digits = 9;
constexpr uint8_t k_fraction_pair_bit = 0x01;
constexpr unsigned k_fraction_digits_shift = 1;
constexpr uint8_t k_fraction_digits_mask = 0x0F;
constexpr uint8_t k_layout_order_mask = k_layout_dmy | k_layout_mdy | k_layout_ymd;

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Appends value in decimal, zero-filled on the left to at least width digits.
void append_number(std::string& out, uint64_t value, unsigned width) {
    char digits[20];
    unsigned n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && n < sizeof digits);
    for (unsigned i = n; i < width; ++i) out.push_back('0');
    while (n > 0) out.push_back(digits[--n]);
}

// "." and the first `digits` decimal digits of the fraction of the second (truncated). The
// stored resolution is 100 ns, so digits 8 and 9 of a nanosecond fraction are always zero.
void append_fraction(std::string& out, const _windows_systemtime& st, unsigned digits) {
    if (digits == 0 || digits > k_max_fraction_digits) return;
    uint64_t value = st.nanoseconds;
    for (unsigned i = digits; i < k_max_fraction_digits; ++i) value /= 10;
    out.push_back('.');
    append_number(out, value, digits);
}

// Number of fraction digits a time pattern asks for; 0 when it holds no "xxx".
unsigned fraction_digits_of(std::string_view pattern) {
    const size_t first = pattern.find("xxx");
    if (first == npos) return 0;
    const size_t last = pattern.rfind('x');
    const size_t n = last - first + 1;
    return n > 255 ? 255u : static_cast<unsigned>(n);
}

}  // namespace

const char* month_abbrev(unsigned month) {
    if (month < 1 || month > k_month_names.size()) return "";
    return k_month_names[month - 1];
}

bool date_pattern_acceptable(std::string_view value) { return value.size() == 8 || value.size() == 10; }

bool time_pattern_acceptable(std::string_view value) {
    return (value.size() == 8 || (value.size() >= 12 && value.size() <= 18)) && value.find(':') != npos;
}

bool compile_time_format(std::string_view date_pattern_in, std::string_view time_pattern_in, bool pair,
                         time_format_spec& compiled) {
    compiled = time_format_spec{};
    if (pair) compiled.fraction |= k_fraction_pair_bit;
    const std::string date_pattern = lower_ascii(date_pattern_in);
    const std::string time_pattern = lower_ascii(time_pattern_in);

    if (!date_pattern.empty()) {
        if (date_pattern.find('/') != npos)
            compiled.separator = '/';
        else if (date_pattern.find('-') != npos)
            compiled.separator = '-';
        else if (date_pattern.find(' ') != npos)
            compiled.separator = ' ';

        size_t month_pos = date_pattern.find("mmm");
        if (month_pos != npos) {
            compiled.layout |= k_layout_month_name;
        } else if ((month_pos = date_pattern.find("mm")) != npos) {
            compiled.layout |= k_layout_month_digits;
        } else {
            return false;
        }
        size_t year_pos = date_pattern.find("yyyy");
        if (year_pos != npos) {
            compiled.layout |= k_layout_year4;
        } else if ((year_pos = date_pattern.find("yy")) != npos) {
            compiled.layout |= k_layout_year2;
        } else {
            return false;
        }
        if (date_pattern.find(',') != npos) compiled.layout |= k_layout_comma;
        const size_t day_pos = date_pattern.find("dd");
        if (day_pos == npos) return false;

        if (day_pos < month_pos && month_pos < year_pos)
            compiled.layout |= k_layout_dmy;
        else if (month_pos < day_pos && day_pos < year_pos)
            compiled.layout |= k_layout_mdy;
        else if (year_pos < month_pos && month_pos < day_pos)
            compiled.layout |= k_layout_ymd;
        else
            return false;
    }

    unsigned digits = fraction_digits_of(time_pattern);
    if (digits > k_max_fraction_digits) digits = k_max_fraction_digits;
    compiled.fraction = static_cast<uint8_t>(compiled.fraction | (digits << k_fraction_digits_shift));
    return true;
}

bool format_date_time(std::string& date, std::string& time_text, const qn::time& t,
                      std::string_view date_pattern_in, std::string_view time_pattern_in) {
    date.clear();
    time_text.clear();
    if (!t.valid) return false;
    const _windows_systemtime& st = t.systemtime;
    const std::string date_pattern = lower_ascii(date_pattern_in);
    const std::string time_pattern = lower_ascii(time_pattern_in);

    if (!date_pattern.empty()) {
        std::string separator = "/";
        bool space_separated = false;
        if (date_pattern.find('/') != npos) {
            separator = "/";
        } else if (date_pattern.find('-') != npos) {
            separator = "-";
        } else if (date_pattern.find(' ') != npos) {
            separator = " ";
            space_separated = true;
        }
        const size_t year_pos = date_pattern.find("yy");
        const size_t month_pos = date_pattern.find("mm");
        const size_t day_pos = date_pattern.find("dd");
        const size_t month_name_pos = date_pattern.find("mmm");

        std::string month;
        if (month_name_pos != npos)
            month = month_abbrev(st.month);
        else
            append_number(month, st.month, 2);

        // "mmm dd, yy": a comma after the day, only for space-separated dates with the day
        // after the month.
        bool comma = false;
        if (space_separated && day_pos != npos) {
            const size_t month_token = month_name_pos != npos ? month_name_pos : month_pos;
            if (month_token != npos && day_pos > month_token && date_pattern.find(',', day_pos) != npos)
                comma = true;
        }

        std::string day;
        append_number(day, st.day, 2);
        std::string year;
        append_number(year, st.year, 4);
        if (date_pattern.find("yyyy") == npos && year_pos != npos) year = year.substr(year.size() - 2);

        if (year_pos == npos || month_pos == npos || day_pos == npos) {
            date = month + "/" + day + "/" + year;
        } else {
            std::string middle;
            if (month_pos < day_pos) {
                middle = month + separator + day;
                if (comma) middle += ",";
            } else {
                middle = day + separator + month;
            }
            date = year_pos == 0 ? year + separator + middle : middle + separator + year;
        }
    }

    if (time_pattern.empty()) return true;
    if (time_pattern.find("hh:mm") != npos) {
        append_number(time_text, st.hour, 2);
        time_text += ':';
        append_number(time_text, st.minute, 2);
    }
    if (time_pattern.find("ss") != npos) {
        time_text += ':';
        append_number(time_text, st.second, 2);
    }
    append_fraction(time_text, st, fraction_digits_of(time_pattern));
    return true;
}

bool format_date_time_nofrac(std::string& date, std::string& time_text, const qn::time& t,
                             std::string_view date_pattern, std::string_view time_pattern) {
    if (!format_date_time(date, time_text, t, date_pattern, time_pattern)) return false;
    const size_t dot = time_text.find('.');
    if (dot != npos) time_text.erase(dot);
    return true;
}

bool format_date_time_spec(std::string& date, std::string& time_text, const qn::time& t,
                           const time_format_spec& compiled) {
    date.clear();
    time_text.clear();
    if (!t.valid) return false;
    // A format never compiled (all zero), or one whose date pattern could not be compiled (no
    // order of day, month and year), prints the defaults: a column must never lose a valid
    // date to an unusable pattern.
    if ((compiled.separator == 0 && compiled.layout == 0 && compiled.fraction == 0) || (compiled.layout & k_layout_order_mask) == 0)
        return format_date_time(date, time_text, t, k_default_date_format, k_default_time_format);

    const _windows_systemtime& st = t.systemtime;
    const char s = compiled.separator != 0 ? compiled.separator : '/';
    std::string year;
    append_number(year, st.year, (compiled.layout & k_layout_year4) ? 4 : 2);
    std::string month;
    if (compiled.layout & k_layout_month_digits)
        append_number(month, st.month, 2);
    else if (compiled.layout & k_layout_month_name)
        month = month_abbrev(st.month);
    std::string day;
    append_number(day, st.day, 2);

    if (!month.empty()) {
        if (compiled.layout & k_layout_mdy)
            date = month + s + day + s + year;
        else if (compiled.layout & k_layout_dmy)
            date = day + s + month + s + year;
        else if (compiled.layout & k_layout_ymd)
            date = year + s + month + s + day;
    }

    append_number(time_text, st.hour, 2);
    time_text += ':';
    append_number(time_text, st.minute, 2);
    time_text += ':';
    append_number(time_text, st.second, 2);
    append_fraction(time_text, st, (compiled.fraction >> k_fraction_digits_shift) & k_fraction_digits_mask);
    return true;
}

}  // namespace qn
