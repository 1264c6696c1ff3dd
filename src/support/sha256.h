// SHA-256 (FIPS 180-4) and its base64 form, for the digests a Content-Security-Policy names: the
// page's own inline script and style are allowed by their hashes and nothing else runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace runtrail {

std::array<uint8_t, 32> sha256(std::string_view data);

// Standard base64 (RFC 4648, with '=' padding).
std::string base64(const uint8_t* data, size_t length);

}  // namespace runtrail
