// JSON Lines output: one JSON object per reported prefetch file, one line each.
#pragma once

#include <cstdint>
#include <string>

// A FILETIME as an ISO 8601 UTC text with all seven fraction digits of the 100 ns value,
// quoted ("2016-01-11T22:08:20.9853304Z"), or null when the time is not valid.
std::string json_time(uint64_t filetime);
