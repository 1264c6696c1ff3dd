#include "html_text.h"

#include <cstdio>

#include "field_text.h"
#include "filetime.h"
#include "json_text.h"

namespace runtrail {

void append_html_text(std::string& out, std::string_view value) {
    std::string text(value);
    make_printable(text);
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out.push_back(c);
        }
    }
}

void append_script_json_string(std::string& out, std::string_view value) {
    std::string text(value);
    make_printable(text);
    const size_t start = out.size();
    append_json_string(out, text);
    for (size_t at = out.find('<', start); at != std::string::npos; at = out.find('<', at))
        out.replace(at, 1, "\\u003c");
}

namespace {
constexpr int64_t k_ticks_per_millisecond = 10'000;
}  // namespace

std::optional<int64_t> page_milliseconds(uint64_t filetime) {
    if (!printable_time(filetime)) return std::nullopt;
    // Printable times lie below 2^63, and from 1900 on: the difference may be negative.
    const int64_t ticks = static_cast<int64_t>(filetime) - static_cast<int64_t>(k_filetime_of_unix_epoch);
    return ticks >= 0 ? ticks / k_ticks_per_millisecond : -((-ticks + k_ticks_per_millisecond - 1) / k_ticks_per_millisecond);
}

void append_page_time(std::string& out, int64_t milliseconds) {
    const int64_t ticks = milliseconds * k_ticks_per_millisecond;
    const std::optional<utc_time> t =
        printable_time(static_cast<uint64_t>(ticks + static_cast<int64_t>(k_filetime_of_unix_epoch)));
    if (!t) return;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u.%03u", t->year, t->month, t->day, t->hour,
                  t->minute, t->second, t->ticks / static_cast<uint32_t>(k_ticks_per_millisecond));
    out += text;
}

}  // namespace runtrail
