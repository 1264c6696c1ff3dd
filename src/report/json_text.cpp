#include "json_text.h"

#include "unicode_text.h"

namespace runtrail {
namespace {

void append_unicode_escape(std::string& out, unsigned code) {
    static constexpr char k_hex_digits[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(k_hex_digits[(code >> shift) & 0xF]);
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
    const std::string clean = sanitize_utf8(text);
    out.reserve(out.size() + clean.size() + 2);
    out.push_back('"');
    for (size_t i = 0; i < clean.size(); ++i) {
        const auto c = static_cast<unsigned char>(clean[i]);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7F) {
            append_unicode_escape(out, c);
        } else if (c == 0xE2 && i + 2 < clean.size() && static_cast<unsigned char>(clean[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(clean[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(clean[i + 2]) == 0xA9)) {
            // U+2028 LINE SEPARATOR and U+2029 PARAGRAPH SEPARATOR
            append_unicode_escape(out, 0x2000u | (static_cast<unsigned char>(clean[i + 2]) - 0x80u));
            i += 2;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
}

}  // namespace runtrail
