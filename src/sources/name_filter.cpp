// -filter parsing and matching. A substring of valid UTF-8 found byte-wise is the same substring
// found character by character, so names are matched as bytes, and names that are not valid UTF-8
// (possible on Linux file systems) are matched too.
#include "name_filter.h"

#include "ascii_text.h"

namespace runtrail {
namespace {

constexpr char k_part_separator_primary = ',';
constexpr char k_part_separator_secondary = '|';
constexpr char k_stream_separator = ':';
constexpr char k_wildcard = '*';

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view part) {
    while (!part.empty() && is_blank(part.front())) part.remove_prefix(1);
    while (!part.empty() && is_blank(part.back())) part.remove_suffix(1);
    return part;
}

void split_parts(std::string_view value, std::vector<std::string>& parts) {
    const char sep = value.find(k_part_separator_primary) != std::string_view::npos ? k_part_separator_primary
                     : value.find(k_part_separator_secondary) != std::string_view::npos
                         ? k_part_separator_secondary
                         : '\0';
    if (sep == '\0') {
        if (auto part = trim(value); !part.empty()) parts.emplace_back(part);
        return;
    }
    size_t start = 0;
    for (;;) {
        const size_t end = value.find(sep, start);
        auto part = trim(value.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (!part.empty()) parts.emplace_back(part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

filter_entry make_entry(const std::string& part) {
    filter_entry e;
    std::string pattern = part;
    // A ":stream" suffix names an alternate data stream on Windows; names here have none, so the
    // suffix only decides whether the rest is a lone "*".
    if (const size_t colon = pattern.find(k_stream_separator); colon != std::string::npos) {
        pattern.erase(colon);
        if (pattern == "*") e.match_all = true;
    }
    if (!e.match_all) {
        // Each '*' is removed; only one at the very start or the very end means anything.
        for (size_t pos; (pos = pattern.find(k_wildcard)) != std::string::npos;) {
            if (pos == 0) e.leading_star = true;
            if (pos + 1 == pattern.size()) e.trailing_star = true;
            pattern.erase(pos, 1);
        }
    }
    e.directory_filter = !pattern.empty() && pattern.front() == '/';
    e.pattern = std::move(pattern);
    return e;
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool ends_with(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

// A directory filter names whole components: "/windows/prefetch" matches a directory portion that
// contains it followed by "/" or by its end, at any occurrence (".../prefetchold/.../prefetch"
// must still match). A trailing '*' lifts the end-of-component condition.
bool directory_matches(const std::string& dir_with_sep, const filter_entry& e, std::string_view pattern) {
    if (e.trailing_star) return dir_with_sep.find(pattern) != std::string::npos;
    if (!pattern.empty() && pattern.back() == '/') pattern.remove_suffix(1);
    for (size_t pos = dir_with_sep.find(pattern); pos != std::string::npos;
         pos = dir_with_sep.find(pattern, pos + 1)) {
        if (dir_with_sep[pos + pattern.size()] == '/') return true;
    }
    return false;
}

}  // namespace

std::vector<filter_entry> parse_filter(std::string_view value) {
    const std::string lowered = lower_ascii(value);
    std::vector<std::string> parts;
    split_parts(lowered, parts);
    // Only separators and blanks: the whole value stands as one part (which then rarely matches).
    if (parts.empty()) parts.push_back(lowered);

    std::vector<filter_entry> entries;
    for (const auto& part : parts) {
        if (part == "*") {
            filter_entry all;
            all.pattern = "*";
            all.match_all = true;
            return {all};
        }
        entries.push_back(make_entry(part));
    }
    return entries;
}

bool filter_match(std::string_view name, const std::vector<filter_entry>& filters) {
    if (name.empty()) return false;
    if (filters.empty()) return true;
    if (filters.size() == 1 && filters.front().match_all) return true;

    // Split at the last '\' when the name has one, else at the last '/'. A name whose only
    // separator leads it ("/x.pf") splits after it, so exact and prefix patterns still see "x.pf".
    size_t sep = name.rfind('\\');
    if (sep == std::string_view::npos) sep = name.rfind('/');
    const std::string_view dir_part = sep == std::string_view::npos ? std::string_view{} : name.substr(0, sep);
    const std::string file = lower_ascii(sep == std::string_view::npos ? name : name.substr(sep + 1));

    std::string dir;  // lowercased, '\' turned into '/', with a closing '/'; built on first need
    bool dir_ready = false;

    for (const auto& e : filters) {
        const std::string_view pattern = e.pattern;

        if (e.directory_filter) {
            if (!dir_ready) {
                dir = lower_ascii(dir_part);
                for (auto& c : dir)
                    if (c == '\\') c = '/';
                dir.push_back('/');
                dir_ready = true;
            }
            if (directory_matches(dir, e, pattern)) return true;
        }
        if (e.match_all) return true;
        if (e.leading_star && e.trailing_star) {
            if (file.find(pattern) != std::string::npos) return true;
        } else if (e.leading_star) {
            if (ends_with(file, pattern)) return true;
        } else if (e.trailing_star) {
            if (starts_with(file, pattern)) return true;
        } else if (!pattern.empty() && file == pattern) {
            return true;
        }
    }
    return false;
}

}  // namespace runtrail
