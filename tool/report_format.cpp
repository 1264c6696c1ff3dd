#include "report_format.h"

#include "cmd_params.h"
#include "qn_time.h"
#include "time_format.h"

std::string format_volume_serial(uint32_t serial) {
    static constexpr char k_hex_digits[] = "0123456789abcdef";
    std::string text(9, '-');
    for (int i = 0; i < 8; ++i) {
        const auto nibble = (serial >> (28 - 4 * i)) & 0xF;
        text[i < 4 ? i : i + 1] = k_hex_digits[nibble];
    }
    return text;
}

std::string format_time_text(const cmd_params& settings, uint64_t filetime) {
    std::string date, time_text;
    qn::time t(static_cast<int64_t>(filetime), qn::type_filetime);
    qn::format_date_time(date, time_text, t, settings.date_format, settings.time_format);
    return date + " " + time_text;
}
