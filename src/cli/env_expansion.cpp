#include "env_expansion.h"

#include <cstdlib>

#include "ascii_text.h"

namespace runtrail {
namespace {

constexpr size_t k_expand_length_limit = 513;
constexpr unsigned k_expand_replacement_limit = 64;
constexpr const char* k_vss_prefix = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";

}  // namespace

std::string expand_env_vars(std::string text) {
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
            text.replace(open, close - open + 1, value);
            pos = open;
            ++replacements;
            continue;
        }
        if (lower_ascii(name) == "vss") {
            text.replace(open, close - open + 1, k_vss_prefix);
            ++replacements;
        }
        pos = close + 1;
    }
    return text;
}

}  // namespace runtrail
