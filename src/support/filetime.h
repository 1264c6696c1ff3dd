// Windows FILETIME values: 100-nanosecond ticks since 1601-01-01 00:00:00 UTC, 0 meaning "no
// time". Reports print a time only when it is printable: see printable_time.
#pragma once

#include <cstdint>
#include <optional>

namespace runtrail {

constexpr uint64_t k_ticks_per_second = 10'000'000ULL;
constexpr uint64_t k_filetime_of_unix_epoch = 116'444'736'000'000'000ULL;  // 1970-01-01 00:00:00 UTC

// A FILETIME broken down into its UTC calendar fields.
struct utc_time {
    int32_t year = 0;
    uint32_t month = 0;  // 1..12
    uint32_t day = 0;    // 1..31
    uint32_t hour = 0;
    uint32_t minute = 0;
    uint32_t second = 0;
    uint32_t ticks = 0;  // 100 ns units within the second, 0..9,999,999
};

// The calendar fields of a FILETIME that reports may print: not 0, bit 63 clear, not within the
// first second of 1970 (which stands for "no time" too), and a year from 1900 to 3000. Anything
// else is no time at all, never a made-up date.
std::optional<utc_time> printable_time(uint64_t filetime);

// The calendar fields of any FILETIME, printable or not.
utc_time calendar_time(uint64_t filetime);

// Seconds since 1970 (signed: times before 1970 and after 2038 keep their value) to a FILETIME;
// 0 when the result would fall before 1601 or beyond the 64-bit range.
uint64_t unix_to_filetime(int64_t seconds, uint32_t nanoseconds = 0);

// Whole seconds since 1970 of a printable time at or after 1970; 0 for any other (timeline tools
// read 0 as no time).
int64_t unix_seconds_or_zero(uint64_t filetime);

}  // namespace runtrail
