// JSON string literals: UTF-8 in, a quoted JSON string out.
#pragma once

#include <string>
#include <string_view>

namespace runtrail {

// Appends `text` as a JSON string (with its quotes). Invalid UTF-8 is replaced by U+FFFD; quote and
// backslash are escaped; control characters (and DEL, U+2028, U+2029, which some readers take as
// line ends) are written as \uXXXX, so the result is always one line.
void append_json_string(std::string& out, std::string_view text);

}  // namespace runtrail
