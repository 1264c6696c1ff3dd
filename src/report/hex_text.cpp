#include "hex_text.h"

namespace runtrail {

std::string volume_serial_text(uint32_t serial) {
    static constexpr char k_hex_digits[] = "0123456789abcdef";
    std::string text(9, '-');
    for (int i = 0; i < 8; ++i) text[i < 4 ? i : i + 1] = k_hex_digits[(serial >> (28 - 4 * i)) & 0xF];
    return text;
}

std::string upper_hex_text(uint32_t value) {
    static constexpr char k_hex_digits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 0; i < 8; ++i) text[i] = k_hex_digits[(value >> (28 - 4 * i)) & 0xF];
    return text;
}

}  // namespace runtrail
