#include "json_text.h"

#include <array>

#include "unicode_text.h"

namespace runtrail {
namespace {

// The bytes that end a run of text a JSON string holds as it is: quote, backslash, control codes,
// DEL and every byte of a multi-byte sequence (looked at one sequence at a time).
constexpr std::array<bool, 256> k_ends_plain_run = [] {
    std::array<bool, 256> table{};
    for (unsigned c = 0; c < table.size(); ++c) table[c] = c < 0x20 || c >= 0x7F || c == '"' || c == '\\';
    return table;
}();

void append_unicode_escape(std::string& out, unsigned code) {
    static constexpr char k_hex_digits[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(k_hex_digits[(code >> shift) & 0xF]);
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + 2);
    out.push_back('"');
    size_t i = 0;
    while (i < text.size()) {
        // Most of a name is printable ASCII that stands as it is: appended a run at a time.
        size_t run = i;
        while (run < text.size() && !k_ends_plain_run[static_cast<unsigned char>(text[run])]) ++run;
        out.append(text, i, run - i);
        i = run;
        if (i == text.size()) break;

        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (c < 0x80) {  // a control character or DEL
            append_unicode_escape(out, c);
            ++i;
            continue;
        }
        char32_t code_point = 0;
        const size_t length = utf8_sequence_length(text, i, code_point);
        if (length == 0) {
            out += k_replacement_character_utf8;
            ++i;
        } else if ((code_point >= 0x80 && code_point <= 0x9F) || code_point == 0x2028 || code_point == 0x2029) {
            // C1 codes (CSI, OSC) would drive the terminal of whoever prints the value; LINE
            // SEPARATOR and PARAGRAPH SEPARATOR end lines for some readers.
            append_unicode_escape(out, code_point);
            i += length;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    out.push_back('"');
}

}  // namespace runtrail
