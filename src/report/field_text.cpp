#include "field_text.h"

#include <algorithm>

namespace runtrail {

void mark_line_breaks(std::string& text) {
    // Nearly every value has no line break; one plain pass says so.
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; })) return;
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool cr_follows = i + 1 < text.size() && text[i + 1] == '\r';
        const bool lf_follows = i + 1 < text.size() && text[i + 1] == '\n';
        if (c == '\r' && lf_follows) {
            out += "[CRLF]";
            ++i;
        } else if (c == '\n' && cr_follows) {
            out += "[LFCR]";
            ++i;
        } else if (c == '\n') {
            out += "[LF]";
        } else if (c == '\r') {
            // A lone CR ends a line for many readers too, so it is marked even when the value also
            // holds an LF elsewhere.
            out += "[CR]";
        } else {
            out.push_back(c);
        }
    }
    text.swap(out);
}

field_guard::field_guard(std::string separator, char sep_char, char replacement)
    : sep_char_(sep_char), replacement_(replacement != 0 ? replacement : ' ') {
    // A separator of spaces only (or none) cannot be protected this way and is left to padding.
    const size_t first = separator.find_first_not_of(' ');
    if (first != std::string::npos)
        separator_key_ = separator.substr(first, separator.find_last_not_of(' ') - first + 1);
}

void field_guard::break_separator(std::string& value) const {
    if (separator_key_.empty()) return;
    // Each pass turns one non-space character into a space, so the loop ends.
    const std::string& key = separator_key_;
    for (size_t at = value.find(key); at != std::string::npos;
         at = value.find(key, at + 1 >= key.size() ? at + 1 - key.size() : 0))
        value[at] = ' ';
}

void field_guard::protect_quoted(std::string& value) const {
    if (sep_char_ != 0) std::replace(value.begin(), value.end(), sep_char_, replacement_);
    mark_line_breaks(value);
}

void field_guard::protect(std::string& value) const {
    protect_quoted(value);
    break_separator(value);
}

}  // namespace runtrail
