// Renderings shared by the writers.
#pragma once

#include <cstdint>
#include <string>

namespace runtrail {

// A volume serial as two groups of four lower-case hex digits, high half first: "1a2b-3c4d".
std::string volume_serial_text(uint32_t serial);

}  // namespace runtrail
