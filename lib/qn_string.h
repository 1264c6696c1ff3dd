// Text conversions (UTF-8, UTF-16LE, UTF-32 "wide") and the small string utilities the rest of
// runtrail uses. Narrow text is always UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qn {

// Strict UTF-8 to code points; empty on any malformed sequence.
std::u32string utf8_to_wide(std::string_view text);
// Code points to UTF-8; stops (keeping what it produced) at a unit above U+10FFFF.
std::string wide_to_utf8(std::u32string_view text);
// Appends the UTF-8 form of one code point (U+FFFD for surrogates and values above U+10FFFF).
void append_utf8(std::string& out, char32_t code_point);

// A name stored in a prefetch file: UTF-16LE units, already cut at their terminator. A valid
// surrogate pair becomes one 4-byte character; a lone surrogate becomes U+FFFD.
std::string utf16_units_to_utf8(const uint16_t* units, size_t count);
std::string utf16_units_to_utf8(const std::u16string& units);
// The same conversion straight from UTF-16LE bytes, up to the first zero unit or max_units
// units, whichever comes first (the caller has bounds-checked 2 * max_units bytes). `out` is
// overwritten; the result is the number of units converted, the terminator not counted.
size_t assign_utf16le_string_as_utf8(std::string& out, const uint8_t* bytes, size_t max_units);
// Strict conversion of a UTF-16LE byte area; false on a high surrogate without its partner.
bool utf16le_to_utf8(const uint8_t* bytes, size_t byte_length, std::string& out);

// Keeps valid UTF-8 and replaces each invalid byte with U+FFFD.
std::string sanitize_utf8(std::string_view text);

void to_lower(std::string& text);
void to_upper(std::string& text);
bool equals_ignore_case(std::string_view a, std::string_view b);
bool trim_blanks(std::string& text);
bool strip_quotes(std::string& text);
size_t remove_char(std::string& text, char c);
void replace_char(std::string& text, char from, char to, bool both_cases = false);
bool replace_first(std::string& text, std::string pattern, const std::string& replacement, bool ignore_case);
bool split_path(const std::string& path, std::string& directory, std::string& name);

// Replaces %NAME% with the environment variable's value (and, with allow_vss, %vss% with the
// shadow-copy device prefix). Bounded: it never grows past a fixed size or loops forever.
std::string& expand_env_vars(std::string& text, bool allow_vss);

bool split_text(const std::string& text, char delimiter, std::vector<std::string>& parts, bool trim,
                bool keep_empty, bool append = false);
bool parse_number(const std::string& text, uint32_t& value);
bool parse_int(const std::string& text, int32_t& value);

}  // namespace qn
