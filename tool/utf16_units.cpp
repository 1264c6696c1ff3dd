// UTF-16LE strings inside a prefetch image: runs of code units ended by a zero unit.
#include <algorithm>

#include "prefetch_sections.h"
#include "qn_string.h"

namespace {

constexpr uint64_t k_unit_bytes = 2;

}  // namespace

utf16_run read_utf16_text(qn::byte_view image, uint64_t offset, uint64_t max_units, std::string& text) {
    utf16_run run;
    text.clear();
    const std::optional<qn::byte_view> area = image.tail(offset);
    if (!area) return run;
    // The conversion never looks past `limit` units, all of which lie inside the image.
    const uint64_t limit = std::min<uint64_t>(area->size() / k_unit_bytes, max_units);
    run.units = qn::assign_utf16le_string_as_utf8(text, area->data(), static_cast<size_t>(limit));
    run.terminated = run.units < limit;
    return run;
}
