// Values taken from a prefetch file are text an attacker may have chosen. Before a value stands in
// a report it is made unable to change the report's shape or the examiner's terminal: a line break
// cannot start a line of its own, a control code cannot reach the terminal, and in a delimited
// line (CSV, log2timeline, body file) the separator cannot add a field.
#pragma once

#include <string>
#include <string_view>

namespace runtrail {

// CR and LF become "[CRLF]", "[LFCR]", "[LF]" or "[CR]". Windows names never hold them, so real
// names are unchanged.
void mark_line_breaks(std::string& text);

// mark_line_breaks, then every other control code shown as "[0x1B]": the rest of C0, DEL, and C1
// (U+0080 to U+009F in UTF-8, or a byte 0x80 to 0x9F that belongs to no UTF-8 sequence). No value
// can retitle or drive a terminal. Real names hold none, so they are unchanged.
void make_printable(std::string& text);

// The text, made printable, appended to `out`; copied only when make_printable would change it.
void append_printable(std::string& out, std::string_view text);

// How the values of one delimited form are protected.
class field_guard {
public:
    // `separator` joins the fields; `sep_char`, when not 0, is replaced in values by `replacement`
    // (a space when that is 0).
    field_guard(std::string separator, char sep_char, char replacement);

    // Replaces sep_char, makes the value printable, then breaks up every occurrence of the
    // separator (its text without padding spaces): no value can add a field.
    void protect(std::string& value) const;
    // The same for a value already in double quotes, where a reader keeps the separator inside
    // the field: only sep_char is replaced and the value made printable.
    void protect_quoted(std::string& value) const;
    // Only the separator: for texts made by runtrail itself, such as dates.
    void break_separator(std::string& value) const;

private:
    std::string separator_key_;  // the separator without its padding spaces
    char sep_char_;
    char replacement_;
};

}  // namespace runtrail
