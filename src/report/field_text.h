// Values taken from a prefetch file are text an attacker may have chosen. Before a value stands in
// a report it is made unable to change the report's shape: a line break cannot start a line of
// its own, and in a delimited line (CSV, log2timeline, body file) the separator cannot add a field.
#pragma once

#include <string>

namespace runtrail {

// CR and LF become "[CRLF]", "[LFCR]", "[LF]" or "[CR]". Windows names never hold them, so real
// names are unchanged.
void mark_line_breaks(std::string& text);

// How the values of one delimited form are protected.
class field_guard {
public:
    // `separator` joins the fields; `sep_char`, when not 0, is replaced in values by `replacement`
    // (a space when that is 0).
    field_guard(std::string separator, char sep_char, char replacement);

    // Replaces sep_char, marks line breaks, then breaks up every occurrence of the separator (its
    // text without padding spaces): no value can add a field.
    void protect(std::string& value) const;
    // The same for a value already in double quotes, where a reader keeps the separator inside
    // the field: only sep_char and line breaks are handled.
    void protect_quoted(std::string& value) const;
    // Only the separator: for texts made by runtrail itself, such as dates.
    void break_separator(std::string& value) const;

private:
    std::string separator_key_;  // the separator without its padding spaces
    char sep_char_;
    char replacement_;
};

}  // namespace runtrail
