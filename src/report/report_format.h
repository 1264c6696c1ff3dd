// Renderings shared by the writers.
#pragma once

#include <cstdint>
#include <string>

namespace runtrail {

// A volume serial as two groups of four lower-case hex digits, high half first: "1a2b-3c4d".
std::string volume_serial_text(uint32_t serial);

// A prefetch hash as Windows writes it in the file name: eight upper-case hex digits, "3FBEF7FD".
std::string prefetch_hash_text(uint32_t hash);

}  // namespace runtrail
