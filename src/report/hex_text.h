// Hexadecimal renderings of the numbers the reports show: volume serials and prefetch hashes.
#pragma once

#include <cstdint>
#include <string>

namespace runtrail {

// A volume serial as two groups of four lower-case hex digits, high half first: "1a2b-3c4d".
std::string volume_serial_text(uint32_t serial);

// Eight upper-case hex digits, "3FBEF7FD": a prefetch hash as Windows writes it in the file name,
// and a volume serial as plaso-style timelines show it after "0x".
std::string upper_hex_text(uint32_t value);

}  // namespace runtrail
