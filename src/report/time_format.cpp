#include "time_format.h"

#include <array>

#include "ascii_text.h"
#include "filetime.h"

namespace runtrail {
namespace {

constexpr std::array<const char*, 12> k_month_names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::string_view k_time_of_day = "hh:mm:ss";
constexpr unsigned k_min_fraction_digits = 3;
constexpr unsigned k_max_fraction_digits = 9;
constexpr unsigned k_tick_digits = 7;  // a FILETIME counts 100 ns ticks

enum class date_token { none, day, month, month_name, year, two_digit_year };

// The token at the start of `rest`, consumed; the longer of "yyyy"/"yy" and "mmm"/"mm" wins.
date_token take_token(std::string_view& rest) {
    static constexpr std::pair<std::string_view, date_token> k_tokens[] = {
        {"yyyy", date_token::year}, {"yy", date_token::two_digit_year}, {"mmm", date_token::month_name},
        {"mm", date_token::month},  {"dd", date_token::day}};
    for (const auto& [text, token] : k_tokens) {
        if (rest.substr(0, text.size()) == text) {
            rest.remove_prefix(text.size());
            return token;
        }
    }
    return date_token::none;
}

bool is_month(date_token t) { return t == date_token::month || t == date_token::month_name; }
bool is_year(date_token t) { return t == date_token::year || t == date_token::two_digit_year; }

// Appends value in decimal, zero-filled on the left to `width` digits.
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

// The first `digits` decimal digits of the fraction of the second.
uint64_t fraction_value(uint32_t ticks, unsigned digits) {
    uint64_t value = ticks;
    for (unsigned i = digits; i < k_tick_digits; ++i) value /= 10;
    for (unsigned i = k_tick_digits; i < digits; ++i) value *= 10;
    return value;
}

}  // namespace

time_format::time_format() = default;

bool time_format::set_date_pattern(std::string_view pattern_in) {
    if (pattern_in.size() != 8 && pattern_in.size() != 10) return false;
    const std::string pattern = lower_ascii(pattern_in);
    std::string_view rest = pattern;
    date_token tokens[3];
    char separator = 0;
    bool comma = false;
    for (int i = 0; i < 3; ++i) {
        tokens[i] = take_token(rest);
        if (tokens[i] == date_token::none) return false;
        if (i == 2) break;
        if (i == 1 && tokens[1] == date_token::day && rest.substr(0, 1) == ",") {
            comma = true;
            rest.remove_prefix(1);
        }
        if (rest.empty() || (rest[0] != '/' && rest[0] != '-' && rest[0] != ' ')) return false;
        if (separator != 0 && rest[0] != separator) return false;
        separator = rest[0];
        rest.remove_prefix(1);
    }
    if (!rest.empty()) return false;

    field_order order;
    if (tokens[0] == date_token::day && is_month(tokens[1]) && is_year(tokens[2]))
        order = field_order::day_month_year;
    else if (is_month(tokens[0]) && tokens[1] == date_token::day && is_year(tokens[2]))
        order = field_order::month_day_year;
    else if (is_year(tokens[0]) && is_month(tokens[1]) && tokens[2] == date_token::day)
        order = field_order::year_month_day;
    else
        return false;
    if (comma && (order != field_order::month_day_year || separator != ' ')) return false;

    order_ = order;
    separator_ = separator;
    comma_after_day_ = comma;
    two_digit_year_ = tokens[0] == date_token::two_digit_year || tokens[2] == date_token::two_digit_year;
    month_name_ = tokens[0] == date_token::month_name || tokens[1] == date_token::month_name;
    date_width_ = pattern.size();
    return true;
}

bool time_format::set_time_pattern(std::string_view pattern_in) {
    if (pattern_in.size() != 8 && (pattern_in.size() < 12 || pattern_in.size() > 18)) return false;
    const std::string pattern = lower_ascii(pattern_in);
    std::string_view rest = pattern;
    if (rest.substr(0, k_time_of_day.size()) != k_time_of_day) return false;
    rest.remove_prefix(k_time_of_day.size());
    unsigned digits = 0;
    if (!rest.empty()) {
        if (rest[0] != '.') return false;
        rest.remove_prefix(1);
        if (rest.find_first_not_of('x') != std::string_view::npos) return false;
        digits = static_cast<unsigned>(rest.size());
        if (digits < k_min_fraction_digits || digits > k_max_fraction_digits) return false;
    }
    fraction_digits_ = digits;
    time_width_ = pattern.size();
    return true;
}

void time_format::render_date(int32_t year, uint32_t month, uint32_t day, std::string& date) const {
    std::string y, m, d;
    if (two_digit_year_)
        append_number(y, static_cast<uint64_t>(year % 100), 2);
    else
        append_number(y, static_cast<uint64_t>(year), 4);
    if (month_name_)
        m = k_month_names[month - 1];
    else
        append_number(m, month, 2);
    append_number(d, day, 2);
    if (comma_after_day_) d += ',';
    switch (order_) {
        case field_order::day_month_year:
            date = d + separator_ + m + separator_ + y;
            break;
        case field_order::month_day_year:
            date = m + separator_ + d + separator_ + y;
            break;
        case field_order::year_month_day:
            date = y + separator_ + m + separator_ + d;
            break;
    }
}

bool time_format::render(uint64_t filetime, std::string& date, std::string& time_text) const {
    date.clear();
    time_text.clear();
    const std::optional<utc_time> t = printable_time(filetime);
    if (!t) return false;
    render_date(t->year, t->month, t->day, date);
    append_number(time_text, t->hour, 2);
    time_text += ':';
    append_number(time_text, t->minute, 2);
    time_text += ':';
    append_number(time_text, t->second, 2);
    if (fraction_digits_ != 0) {
        time_text += '.';
        append_number(time_text, fraction_value(t->ticks, fraction_digits_), fraction_digits_);
    }
    return true;
}

std::string time_format::text(uint64_t filetime) const {
    std::string date, time_text;
    render(filetime, date, time_text);
    return date + ' ' + time_text;
}

std::string time_format::text_whole_seconds(uint64_t filetime) const {
    std::string date, time_text;
    render(filetime, date, time_text);
    if (const size_t dot = time_text.find('.'); dot != std::string::npos) time_text.erase(dot);
    return date + ' ' + time_text;
}

}  // namespace runtrail
