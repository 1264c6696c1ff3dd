#include "qn_time.h"

namespace qn {
namespace {

constexpr uint64_t k_seconds_per_day = 86'400;
constexpr uint64_t k_seconds_per_365_day_year = 31'536'000;
constexpr uint64_t k_bit63 = 1ULL << 63;
// Leap days before 1601 by y/4 - y/100 + y/400 with y = 1600, as seconds.
constexpr int64_t k_leap_seconds_before_1601 = 388 * 86'400;

constexpr int64_t leap_days_through(int64_t year) { return year / 4 - year / 100 + year / 400; }
constexpr bool is_leap_year(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Last 0-based day of year of each month (index 0 is the day before January 1).
constexpr int k_month_end_common[13] = {-1, 30, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333, 364};
constexpr int k_month_end_leap[13] = {-1, 30, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

constexpr uint16_t k_first_valid_year = 1900;
constexpr uint16_t k_last_valid_year = 3000;

}  // namespace

time::time(int64_t value, uint32_t type) {
    if (type == type_filetime) set_filetime(static_cast<uint64_t>(value));
}

bool time::set_filetime(uint64_t ft) {
    valid = false;
    if (ft == 0) return false;
    filetime = ft;
    int64_t seconds = 0;
    if (!filetime_to_unix(ft, seconds)) return false;
    unix_seconds = seconds;
    if (seconds == 0) return false;  // the first second of 1970 stands for "no time"
    filetime_to_systemtime(ft, systemtime);
    valid = systemtime.year >= k_first_valid_year && systemtime.year <= k_last_valid_year;
    return valid;
}

bool filetime_to_unix(uint64_t ft, int64_t& seconds) {
    if (ft & k_bit63) return false;
    // Unsigned on purpose: times before 1970 wrap to large values; callers that print Unix
    // seconds treat those as "no time".
    seconds = static_cast<int64_t>((ft - k_filetime_of_unix_epoch) / k_ticks_per_second);
    return true;
}

bool filetime_to_systemtime(uint64_t ft, _windows_systemtime& st) {
    st = _windows_systemtime{};
    if (ft & k_bit63) return false;
    const uint64_t s = ft / k_ticks_per_second;
    const uint64_t f = ft % k_ticks_per_second;

    // Estimate whole 365-day years; the leap days make the estimate overshoot, by one year up
    // to 3112-12-30 and by more after that, so step back until the second lies in the year.
    const int64_t y = static_cast<int64_t>(s / k_seconds_per_365_day_year);
    int64_t year = y + 1601;
    int64_t r = static_cast<int64_t>(s) + k_leap_seconds_before_1601 -
                y * static_cast<int64_t>(k_seconds_per_365_day_year) -
                leap_days_through(year - 1) * static_cast<int64_t>(k_seconds_per_day);
    while (r < 0) {
        --year;
        r += static_cast<int64_t>(k_seconds_per_365_day_year);
        if (is_leap_year(year)) r += static_cast<int64_t>(k_seconds_per_day);
    }
    const int* month_end = is_leap_year(year) ? k_month_end_leap : k_month_end_common;
    const int day_of_year = static_cast<int>(r / static_cast<int64_t>(k_seconds_per_day));
    const int64_t second_of_day = r % static_cast<int64_t>(k_seconds_per_day);
    int month = 1;
    while (month < 12 && month_end[month] < day_of_year) ++month;

    st.year = static_cast<uint16_t>(year);
    st.month = static_cast<uint16_t>(month);
    st.day = static_cast<uint16_t>(day_of_year - month_end[month - 1]);
    st.day_of_week = static_cast<uint16_t>((s / k_seconds_per_day + 1) % 7);  // 1601-01-01 was a Monday
    st.hour = static_cast<uint16_t>(second_of_day / 3600);
    st.minute = static_cast<uint16_t>(second_of_day % 3600 / 60);
    st.second = static_cast<uint16_t>(second_of_day % 60);
    st.millisecond = static_cast<uint16_t>(f / 10'000);
    st.microseconds = f / 10;
    st.nanoseconds = f * 100;
    st.picoseconds = f * 100'000;
    return true;
}

uint64_t unix_to_filetime(int64_t seconds, uint32_t nanoseconds) {
    // Seconds from 1601 to 1970.
    constexpr int64_t k_epoch_seconds = static_cast<int64_t>(k_filetime_of_unix_epoch / k_ticks_per_second);
    constexpr int64_t k_max_seconds = static_cast<int64_t>(UINT64_MAX / k_ticks_per_second) - k_epoch_seconds - 1;
    if (seconds < -k_epoch_seconds || seconds > k_max_seconds) return 0;
    return static_cast<uint64_t>(seconds + k_epoch_seconds) * k_ticks_per_second + nanoseconds / 100;
}

void to_unix_times(const uint64_t filetimes[4], int64_t seconds[4]) {
    for (int i = 0; i < 4; ++i) {
        seconds[i] = 0;
        // Only times that print as dates reach a timeline; anything else (0, bit 63, before 1970
        // where the difference would wrap) is written as 0, which timeline tools read as no time.
        if (filetimes[i] == 0 || filetimes[i] < k_filetime_of_unix_epoch) continue;
        int64_t s = 0;
        if (filetime_to_unix(filetimes[i], s)) seconds[i] = s;
    }
}

}  // namespace qn
