#include "filetime.h"

namespace runtrail {
namespace {

constexpr int64_t k_seconds_per_day = 86'400;
constexpr uint64_t k_bit63 = 1ULL << 63;
constexpr int32_t k_first_printable_year = 1900;
constexpr int32_t k_last_printable_year = 3000;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t k_days_1601_to_1970 = 134'774;

// The proleptic Gregorian date of a day count from 1970-01-01 (valid for negative counts too),
// by whole 400-year eras of 146,097 days.
void civil_from_days(int64_t days, int32_t& year, uint32_t& month, uint32_t& day) {
    days += 719'468;  // counted from 0000-03-01, so that a leap day ends each year
    const int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const auto day_of_era = static_cast<uint32_t>(days - era * 146'097);
    const uint32_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
    const uint32_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const uint32_t month_from_march = (5 * day_of_year + 2) / 153;
    day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
    month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    year = static_cast<int32_t>(static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

std::optional<utc_time> printable_time(uint64_t filetime) {
    if (filetime == 0 || (filetime & k_bit63) != 0) return std::nullopt;
    if (filetime >= k_filetime_of_unix_epoch && filetime - k_filetime_of_unix_epoch < k_ticks_per_second)
        return std::nullopt;
    const utc_time t = calendar_time(filetime);
    if (t.year < k_first_printable_year || t.year > k_last_printable_year) return std::nullopt;
    return t;
}

utc_time calendar_time(uint64_t filetime) {
    const auto seconds = static_cast<int64_t>(filetime / k_ticks_per_second);
    utc_time t;
    civil_from_days(seconds / k_seconds_per_day - k_days_1601_to_1970, t.year, t.month, t.day);
    const auto second_of_day = static_cast<uint32_t>(seconds % k_seconds_per_day);
    t.hour = second_of_day / 3600;
    t.minute = second_of_day / 60 % 60;
    t.second = second_of_day % 60;
    t.ticks = static_cast<uint32_t>(filetime % k_ticks_per_second);
    return t;
}

uint64_t unix_to_filetime(int64_t seconds, uint32_t nanoseconds) {
    constexpr int64_t k_epoch_seconds = static_cast<int64_t>(k_filetime_of_unix_epoch / k_ticks_per_second);
    constexpr int64_t k_max_seconds = static_cast<int64_t>(UINT64_MAX / k_ticks_per_second) - k_epoch_seconds - 1;
    if (seconds < -k_epoch_seconds || seconds > k_max_seconds) return 0;
    return static_cast<uint64_t>(seconds + k_epoch_seconds) * k_ticks_per_second + nanoseconds / 100;
}

int64_t unix_seconds_or_zero(uint64_t filetime) {
    if (filetime < k_filetime_of_unix_epoch || !printable_time(filetime)) return 0;
    return static_cast<int64_t>((filetime - k_filetime_of_unix_epoch) / k_ticks_per_second);
}

}  // namespace runtrail
