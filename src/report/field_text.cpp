#include "field_text.h"

#include <algorithm>
#include <array>

#include "unicode_text.h"

namespace runtrail {
namespace {

constexpr unsigned char k_first_printable = 0x20;
constexpr unsigned char k_delete = 0x7F;
constexpr unsigned char k_last_c1 = 0x9F;

constexpr bool is_control_byte(unsigned char b) {
    return (b < k_first_printable && b != '\r' && b != '\n') || (b >= k_delete && b <= k_last_c1);
}

// The bytes make_printable may change: line breaks and control codes (0x80 to 0x9F among them, the
// last byte of a C1 code in UTF-8, though they also end other characters).
constexpr std::array<bool, 256> k_may_change = [] {
    std::array<bool, 256> table{};
    for (unsigned b = 0; b < table.size(); ++b)
        table[b] = b == '\r' || b == '\n' || is_control_byte(static_cast<unsigned char>(b));
    return table;
}();

void append_escape(std::string& out, unsigned char code) {
    static constexpr char k_hex_digits[] = "0123456789ABCDEF";
    out += "[0x";
    out.push_back(k_hex_digits[code >> 4]);
    out.push_back(k_hex_digits[code & 0xF]);
    out.push_back(']');
}

// Nearly every value is plain text: one pass over a table says so.
bool is_printable(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return k_may_change[static_cast<unsigned char>(c)]; });
}

// Every control code but CR and LF as a visible escape.
void show_control_codes(std::string& text) {
    // Nearly every value holds no byte that could be one; one plain pass says so.
    if (std::none_of(text.begin(), text.end(), [](char c) { return is_control_byte(static_cast<unsigned char>(c)); }))
        return;
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t code_point = 0;
        const size_t length = b < 0x80 ? 1 : utf8_sequence_length(text, i, code_point);
        if (length <= 1) {  // ASCII, or a byte outside any well-formed sequence
            if (is_control_byte(b))
                append_escape(out, b);
            else
                out.push_back(text[i]);
            ++i;
            continue;
        }
        // A C1 code written as UTF-8 (U+0080 to U+009F) is shown by its code.
        if (code_point <= k_last_c1)
            append_escape(out, static_cast<unsigned char>(code_point));
        else
            out.append(text, i, length);
        i += length;
    }
    text.swap(out);
}

}  // namespace

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

void make_printable(std::string& text) {
    if (is_printable(text)) return;
    mark_line_breaks(text);
    show_control_codes(text);
}

void append_printable(std::string& out, std::string_view text) {
    if (is_printable(text)) {
        out += text;
        return;
    }
    std::string changed(text);
    make_printable(changed);
    out += changed;
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
    make_printable(value);
}

void field_guard::protect(std::string& value) const {
    protect_quoted(value);
    break_separator(value);
}

}  // namespace runtrail
