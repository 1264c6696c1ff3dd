#include <algorithm>

#include "prefetch_sections.h"

utf16_run read_utf16_units(qn::byte_view image, uint64_t offset, uint64_t max_units, std::u16string& units) {
    units.clear();
    utf16_run run;
    const std::optional<qn::byte_view> area = image.tail(offset);
    if (!area) return run;
    const uint64_t limit = std::min<uint64_t>(area->size() / 2, max_units);
    const uint8_t* bytes = area->data();
    for (uint64_t i = 0; i < limit; ++i) {
        const auto unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0) {
            run.terminated = true;
            break;
        }
        units.push_back(unit);
        ++run.units;
    }
    return run;
}
