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

// Keeps well-formed UTF-8 and replaces each byte that is not part of a well-formed sequence
// (overlong forms, surrogates and values above U+10FFFF included) with U+FFFD.
std::string sanitize_utf8(std::string_view text);

}  // namespace runtrail
