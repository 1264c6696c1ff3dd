// Date and time patterns (-dateformat, -timeformat) and the two formatters that turn a
// qn::time into a date text and a time text. Everything is UTC.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "qn_time.h"

namespace qn {

// Layout flags of a compiled date pattern.
enum : uint8_t {
    k_layout_month_name = 0x01,
    k_layout_month_digits = 0x02,
    k_layout_year4 = 0x04,
    k_layout_year2 = 0x08,
    k_layout_comma = 0x10,
    k_layout_dmy = 0x20,
    k_layout_mdy = 0x40,
    k_layout_ymd = 0x80,
};

struct time_format_spec {
    char separator = 0;    // date separator; 0 when the pattern holds none of "/", "-", " "
    uint8_t layout = 0;    // k_layout_* flags
    uint8_t fraction = 0;  // bit 0: pair date and time; bits 1-4: fraction digits (0-9)
};

constexpr const char* k_default_date_format = "yyyy-mm-dd";
constexpr const char* k_default_time_format = "hh:mm:ss.xxx";

const char* month_abbrev(unsigned month);

bool compile_time_format(std::string_view date_pattern, std::string_view time_pattern, bool pair,
                         time_format_spec& compiled);
bool format_date_time(std::string& date, std::string& time_text, const qn::time& t,
                      std::string_view date_pattern, std::string_view time_pattern);
bool format_date_time_nofrac(std::string& date, std::string& time_text, const qn::time& t,
                             std::string_view date_pattern, std::string_view time_pattern);
bool format_date_time_spec(std::string& date, std::string& time_text, const qn::time& t,
                           const time_format_spec& compiled);

// Option value checks of -dateformat / -timeformat (lengths and ':'), without side effects.
bool date_pattern_acceptable(std::string_view value);
bool time_pattern_acceptable(std::string_view value);

}  // namespace qn
