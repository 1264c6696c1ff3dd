// Placeholder until the prefetch parser lands.
#include "prefetch_parser.h"
#include "runtrail_user_context.h"

bool validate_header(const uint8_t*, size_t) { return false; }
bool validate_header(qn::byte_view) { return false; }
bool parse_prefetch(const uint8_t*, size_t, runtrail_user_context&) { return false; }
const char* version_label(uint32_t) { return "Prefetch"; }
