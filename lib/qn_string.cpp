// Small string utilities: case folding, trimming, character replacement, path splitting,
// %NAME% expansion and number parsing. The UTF conversions live in text_conversion.cpp.
#include "qn_string.h"

#include <cstdlib>
#include <locale>

namespace qn {

namespace {

// The classic locale's ctype facet, built once; the program never changes the global locale,
// so only ASCII letters fold and bytes 0x80 and above are left as they are.
const std::ctype<char>& classic_ctype() {
    static const std::ctype<char>& facet = std::use_facet<std::ctype<char>>(std::locale::classic());
    return facet;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whole-text bound of %NAME% expansion: no replacement starts once the text is this long.
constexpr size_t k_expand_length_limit = 513;
// A value that names itself (A=%A%) or two that name each other would be rescanned forever.
constexpr unsigned k_expand_replacement_limit = 64;

constexpr const char* k_vss_prefix = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";

uint32_t parse_unsigned(const std::string& text, size_t from, int base) {
    if (from >= text.size()) return 0;
    return static_cast<uint32_t>(std::strtoull(text.c_str() + from, nullptr, base));
}

int32_t parse_signed(const std::string& text, size_t from, int base) {
    if (from >= text.size()) return 0;
    return static_cast<int32_t>(std::strtoll(text.c_str() + from, nullptr, base));
}

bool starts_number(char c) { return c == '-' || c == '+' || (c >= '0' && c <= '9'); }

}  // namespace

void to_lower(std::string& text) {
    if (!text.empty()) classic_ctype().tolower(text.data(), text.data() + text.size());
}

void to_upper(std::string& text) {
    if (!text.empty()) classic_ctype().toupper(text.data(), text.data() + text.size());
}

bool equals_ignore_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const auto& ct = classic_ctype();
    for (size_t i = 0; i < a.size(); ++i)
        if (ct.tolower(a[i]) != ct.tolower(b[i])) return false;
    return true;
}

bool trim_blanks(std::string& text) {
    size_t first = 0;
    while (first < text.size() && is_blank(text[first])) ++first;
    if (first == text.size()) {
        text.clear();
        return false;
    }
    size_t last = text.size();
    while (last > first && is_blank(text[last - 1])) --last;
    text = text.substr(first, last - first);
    return true;
}

bool strip_quotes(std::string& text) {
    if (text.empty()) return false;
    trim_blanks(text);
    if (!text.empty() && (text.front() == '"' || text.front() == '\'')) text.erase(0, 1);
    if (!text.empty() && (text.back() == '"' || text.back() == '\'')) text.pop_back();
    return true;
}

size_t remove_char(std::string& text, char c) {
    std::string kept;
    kept.reserve(text.size());
    for (char ch : text)
        if (ch != c) kept.push_back(ch);
    const size_t removed = text.size() - kept.size();
    text.swap(kept);
    return removed;
}

void replace_char(std::string& text, char from, char to, bool both_cases) {
    if (from == to) return;
    const auto& ct = classic_ctype();
    const char lower = both_cases ? ct.tolower(from) : from;
    const char upper = both_cases ? ct.toupper(from) : from;
    for (char& ch : text)
        if (ch == from || ch == lower || ch == upper) ch = to;
}

bool replace_first(std::string& text, std::string pattern, const std::string& replacement, bool ignore_case) {
    size_t at;
    if (ignore_case) {
        std::string folded = text;
        to_lower(folded);
        to_lower(pattern);
        at = folded.find(pattern);
    } else {
        at = text.find(pattern);
    }
    if (at == std::string::npos) return false;
    text = text.substr(0, at) + replacement + text.substr(at + pattern.size());
    return true;
}

bool split_path(const std::string& path, std::string& directory, std::string& name) {
    directory.clear();
    name.clear();
    if (path.empty()) return false;
    const char* const parent_suffix[2] = {"\\..", "//.."};
    const char separators[2] = {'\\', '/'};
    for (int i = 0; i < 2; ++i) {
        const size_t at = path.rfind(separators[i]);
        if (at == std::string::npos || at == 0) continue;
        directory = path.substr(0, at);
        name = path.substr(at + 1);
        if (name == "..") {
            name = ".";
            directory += parent_suffix[i];
        }
        return true;
    }
    if (path == "..") {
        directory = "..";
        name = ".";
    } else {
        directory = ".";
        name = path;
    }
    return true;
}

std::string& expand_env_vars(std::string& text, bool allow_vss) {
    size_t pos = 0;
    unsigned replacements = 0;
    while (text.size() < k_expand_length_limit && replacements < k_expand_replacement_limit) {
        const size_t open = text.find('%', pos);
        if (open == std::string::npos) break;
        const size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value) {
            // The inserted value is scanned again from the same place.
            text.replace(open, close - open + 1, value);
            pos = open;
            ++replacements;
            continue;
        }
        std::string folded = name;
        to_lower(folded);
        if (allow_vss && folded == "vss") {
            text.replace(open, close - open + 1, k_vss_prefix);
            ++replacements;
        }
        pos = close + 1;
    }
    return text;
}

bool split_text(const std::string& text, char delimiter, std::vector<std::string>& parts, bool trim,
                bool keep_empty, bool append) {
    if (!append) parts.clear();
    if (text.empty()) return false;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(delimiter, start);
        std::string part = text.substr(start, at == std::string::npos ? std::string::npos : at - start);
        if (trim) trim_blanks(part);
        if (!part.empty() || keep_empty) parts.push_back(std::move(part));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return true;
}

bool parse_number(const std::string& text, uint32_t& value) {
    value = 0;
    std::string trimmed = text;
    if (!trim_blanks(trimmed)) return false;
    std::string folded = trimmed;
    to_lower(folded);
    // The conversions read the trimmed text, so blanks around a value do not shift the digits.
    if (folded.size() > 1 && folded[1] == 'x') {
        value = parse_unsigned(trimmed, 2, 16);
    } else if (folded[0] == 'x') {
        value = parse_unsigned(trimmed, 1, 16);
    } else if (folded[0] == 'o') {
        value = parse_unsigned(trimmed, 1, 8);
    } else if (starts_number(folded[0])) {
        value = parse_unsigned(trimmed, 0, 10);  // a leading '-' wraps modulo 2^32
    } else if (trimmed.size() == 3 && trimmed[0] == '\'' && trimmed[2] == '\'') {
        value = static_cast<unsigned char>(trimmed[1]);
    } else {
        return false;
    }
    return true;
}

bool parse_int(const std::string& text, int32_t& value) {
    value = 0;
    std::string folded = text;
    if (!trim_blanks(folded)) return false;
    to_lower(folded);
    if (const size_t x = folded.find('x'); x != std::string::npos) {
        value = parse_signed(folded, x + 1, 16);
    } else if (const size_t o = folded.find('o'); o != std::string::npos) {
        value = parse_signed(folded, o + 1, 8);
    } else if (starts_number(folded[0])) {
        value = parse_signed(folded, 0, 10);
    } else {
        return false;
    }
    return true;
}

}  // namespace qn
