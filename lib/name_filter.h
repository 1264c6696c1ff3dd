// -filter patterns: "*partial*", "*.ext", "prefix*", exact names, and "/dir" parts that match
// the directory portion. Parsed once, then tested against every candidate name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct filter_entry {
    std::u32string text;            // the part as written (lowercased, trimmed)
    std::u32string pattern;         // the part without '*' and without any ":stream" suffix
    std::u32string stream_pattern;  // text after the first ':' (kept, not consulted)
    bool directory_filter = false;
    bool match_all = false;
    bool leading_star = false;
    bool trailing_star = false;
    std::string pattern_utf8;       // pattern as UTF-8 bytes: names are matched byte-wise, so a
                                    // name that is not valid UTF-8 is still matched, never lost
};

std::vector<filter_entry> parse_filter(std::string_view value);
bool filter_match(std::string_view name, const std::vector<filter_entry>& filters);
bool filter_match(const std::u32string& name, const std::vector<filter_entry>& filters);
