// UTF-16LE strings inside a prefetch image: runs of code units ended by a zero unit.
#include "utf16_string.h"

#include <algorithm>

#include "unicode_text.h"

namespace runtrail {

namespace {

constexpr uint64_t k_unit_bytes = 2;

}  // namespace

utf16_run read_utf16_string(byte_span image, uint64_t offset, uint64_t max_units, std::string& text) {
    utf16_run run;
    text.clear();
    byte_reader in(image);
    const byte_span area = in.tail(offset);
    if (!in.ok()) return run;
    // The conversion never looks past `limit` units, all of which lie inside the image.
    const uint64_t limit = std::min<uint64_t>(area.size() / k_unit_bytes, max_units);
    run.units = utf16le_name_to_utf8(text, area.data(), static_cast<size_t>(limit));
    run.terminated = run.units < limit;
    return run;
}

}  // namespace runtrail
