// -filter and -filter_skip patterns: "*partial*", "*.ext", "prefix*", exact names, and "/dir"
// parts that match the directory portion. Parsed once, then tested against every candidate name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace runtrail {

struct filter_entry {
    std::string pattern;  // the part, lower-cased, without '*' and without any ":stream" suffix
    bool directory_filter = false;
    bool match_all = false;
    bool leading_star = false;
    bool trailing_star = false;
};

// The entries of one option value: its parts split at ',' (or, without any, at '|'), trimmed.
std::vector<filter_entry> parse_filter(std::string_view value);

// True when the first entry that accepts the name exists, or the list is empty. Matching works on
// bytes, lower-casing ASCII letters only, so a name that is not valid UTF-8 is still matched. An
// empty name never passes.
bool filter_match(std::string_view name, const std::vector<filter_entry>& filters);

}  // namespace runtrail
