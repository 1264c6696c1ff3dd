// Text from prefetch files is UTF-16LE; everything runtrail prints is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace runtrail {

// Converts the UTF-16LE name at `bytes` (at most max_units units, all of which the caller has
// bounds-checked) up to its first zero unit into `out` (overwritten). A valid surrogate pair
// becomes one 4-byte character; a lone surrogate becomes U+FFFD. Returns the number of units
// converted, the terminator not counted.
size_t utf16le_name_to_utf8(std::string& out, const uint8_t* bytes, size_t max_units);

// The length (1 to 4) of the well-formed UTF-8 sequence at text[at], with its code point in
// `code_point`; 0 for a byte that starts no well-formed sequence (overlong forms, surrogates and
// values above U+10FFFF included).
size_t utf8_sequence_length(std::string_view text, size_t at, char32_t& code_point);

// U+FFFD REPLACEMENT CHARACTER in UTF-8: what stands for a byte that is no well-formed UTF-8.
constexpr std::string_view k_replacement_character_utf8 = "\xEF\xBF\xBD";

}  // namespace runtrail
