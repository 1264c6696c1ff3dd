// Windows FILETIME values: validity and their UTC calendar breakdown.
// A FILETIME counts 100 ns ticks since 1601-01-01 00:00:00 UTC; 0 means "no time".
#pragma once

#include <cstdint>

namespace qn {

constexpr uint64_t k_ticks_per_second = 10'000'000ULL;
constexpr uint64_t k_filetime_of_unix_epoch = 116'444'736'000'000'000ULL;  // 1970-01-01 00:00:00 UTC

// How a qn::time constructor reads its 64-bit argument. Only filetime is produced by runtrail.
enum type_time : uint32_t {
    type_filetime = 1,
    type_unix_time = 8,
};

struct _windows_systemtime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day_of_week = 0;  // 0 = Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t millisecond = 0;
    uint64_t microseconds = 0;  // fraction of the second, truncated
    uint64_t nanoseconds = 0;   // multiple of 100
    uint64_t picoseconds = 0;
};

// A FILETIME with its breakdown. `valid` is true only for printable values: non-zero, bit 63
// clear, not within the first second of 1970, and a UTC year from 1900 to 3000.
struct time {
    int64_t unix_seconds = 0;
    uint64_t filetime = 0;
    _windows_systemtime systemtime{};
    bool valid = false;

    time() = default;
    time(int64_t value, uint32_t type);
    bool set_filetime(uint64_t ft);
};

// Whole seconds since 1970 (unsigned wrap for earlier times); false when bit 63 is set.
bool filetime_to_unix(uint64_t ft, int64_t& seconds);
bool filetime_to_systemtime(uint64_t ft, _windows_systemtime& st);
// Unix seconds (signed, so times before 1970 and after 2038 survive) to FILETIME; 0 when the
// result would fall before 1601 or overflow.
uint64_t unix_to_filetime(int64_t seconds, uint32_t nanoseconds = 0);
// Four FILETIMEs (M, A, C, B) to Unix seconds for the body file; 0 for any that has no
// printable time.
void to_unix_times(const uint64_t filetimes[4], int64_t seconds[4]);

}  // namespace qn
