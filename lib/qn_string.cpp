// Placeholder until the string utilities land.
#include "qn_string.h"

namespace qn {
void to_lower(std::string& t) { for (auto& c : t) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a'); }
void to_upper(std::string& t) { for (auto& c : t) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A'); }
bool equals_ignore_case(std::string_view a, std::string_view b) {
    std::string x(a), y(b);
    to_lower(x), to_lower(y);
    return x == y;
}
bool trim_blanks(std::string&) { return false; }
bool strip_quotes(std::string&) { return false; }
size_t remove_char(std::string&, char) { return 0; }
void replace_char(std::string&, char, char, bool) {}
bool replace_first(std::string&, std::string, const std::string&, bool) { return false; }
bool split_path(const std::string&, std::string&, std::string&) { return false; }
std::string& expand_env_vars(std::string& text, bool) { return text; }
bool split_text(const std::string&, char, std::vector<std::string>&, bool, bool, bool) { return false; }
bool parse_number(const std::string&, uint32_t& v) { v = 0; return false; }
bool parse_int(const std::string&, int32_t& v) { v = 0; return false; }
}  // namespace qn
