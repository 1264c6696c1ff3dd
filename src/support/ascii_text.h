// ASCII case folding. Option names, name filters and sort keys fold A-Z alone; every other byte,
// UTF-8 sequences included, is left as it is.
#pragma once

#include <string>
#include <string_view>

namespace runtrail {

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline void to_lower_ascii(std::string& text) {
    for (char& c : text) c = ascii_lower(c);
}

inline std::string lower_ascii(std::string_view text) {
    std::string out(text);
    to_lower_ascii(out);
    return out;
}

constexpr bool equals_ignore_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

}  // namespace runtrail
