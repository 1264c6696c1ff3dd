// Values from a prefetch file or a file name as they stand in an HTML page: as element text or an
// attribute value, and as a JSON string inside a data block. Control codes are shown as in every
// other form ("[0x1B]", "[LF]"), so neither form can hold a line break or a raw control code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace runtrail {

// The value made printable, then '&', '<', '>', '"' and '\'' as character references: safe as
// element text and inside a quoted attribute value.
void append_html_text(std::string& out, std::string_view value);

// The value made printable, as a JSON string whose '<' is written "\u003c": inside a
// <script type="application/json"> block no value can close the block or open a comment.
void append_script_json_string(std::string& out, std::string_view value);

// The page keeps times as whole milliseconds since 1970 (what a script's Date takes): those of a
// printable FILETIME, cut, never rounded; nothing for a time that is not printable.
std::optional<int64_t> page_milliseconds(uint64_t filetime);

// "2016-01-16 21:10:26.058", from milliseconds since 1970.
void append_page_time(std::string& out, int64_t milliseconds);

}  // namespace runtrail
