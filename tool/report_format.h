// Small renderings shared by the writers.
#pragma once

#include <cstdint>
#include <string>

struct cmd_params;

// A volume serial as two groups of four lower-case hex digits, high half first: "1a2b-3c4d".
std::string format_volume_serial(uint32_t serial);

// A FILETIME as the run's date text, one space, and its time text (full form, with the fraction
// the time pattern asks for). A time that is not valid gives two empty texts around the space.
std::string format_time_text(const cmd_params& settings, uint64_t filetime);
