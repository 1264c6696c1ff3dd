// Parsing a prefetch image (format versions 17, 23, 26, 30 and 31) into the run context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_view.h"

struct runtrail_user_context;

// Smallest image whose header and file information can be read.
constexpr size_t k_min_prefetch_image = 228;

bool validate_header(const uint8_t* image, size_t length);
bool validate_header(qn::byte_view image);

// Fills the parse results of ctx from a complete image (a compressed container is opened first).
// False when the image is rejected; ctx may then be partly filled and is not reported.
bool parse_prefetch(const uint8_t* image, size_t length, runtrail_user_context& ctx);

// "WinXP Prefetch", "Vista/Win7 Prefetch", "Win8 Prefetch", "Win10 Prefetch", "Win11 Prefetch",
// or "Prefetch" for any other version.
const char* version_label(uint32_t version);
