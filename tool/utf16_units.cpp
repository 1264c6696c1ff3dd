// UTF-16LE strings inside a prefetch image: runs of code units ended by a zero unit.
#include <algorithm>
#include <cstring>

#include "prefetch_sections.h"
#include "qn_string.h"

namespace {

constexpr size_t k_unit_bytes = 2;
// Four units are tested for a zero unit at once: a 16-bit lane is zero exactly when subtracting 1
// borrows out of it into its top bit while the lane's own top bit was clear.
constexpr uint64_t k_lane_ones = 0x0001000100010001ULL;
constexpr uint64_t k_lane_tops = 0x8000800080008000ULL;
constexpr size_t k_units_per_word = sizeof(uint64_t) / k_unit_bytes;

bool has_zero_unit(uint64_t word) { return ((word - k_lane_ones) & ~word & k_lane_tops) != 0; }

// Number of units before the first zero unit among the first `limit` units at `bytes`.
uint64_t units_before_zero(const uint8_t* bytes, uint64_t limit) {
    uint64_t i = 0;
    for (; i + k_units_per_word <= limit; i += k_units_per_word) {
        uint64_t word;
        std::memcpy(&word, bytes + k_unit_bytes * i, sizeof word);
        if (has_zero_unit(word)) break;
    }
    while (i < limit && (bytes[k_unit_bytes * i] | bytes[k_unit_bytes * i + 1]) != 0) ++i;
    return i;
}

}  // namespace

utf16_run find_utf16_run(qn::byte_view image, uint64_t offset, uint64_t max_units) {
    utf16_run run;
    const std::optional<qn::byte_view> area = image.tail(offset);
    if (!area) return run;
    const uint64_t limit = std::min<uint64_t>(area->size() / k_unit_bytes, max_units);
    run.units = units_before_zero(area->data(), limit);
    run.terminated = run.units < limit;
    return run;
}

utf16_run read_utf16_text(qn::byte_view image, uint64_t offset, uint64_t max_units, std::string& text) {
    const utf16_run run = find_utf16_run(image, offset, max_units);
    const std::optional<qn::byte_view> units = image.sub(offset, k_unit_bytes * run.units);
    if (units)
        qn::assign_utf16le_as_utf8(text, units->data(), static_cast<size_t>(run.units));
    else
        text.clear();
    return run;
}
