// Run count, last run time and earlier run times from the file information block.
#include <algorithm>
#include <array>

#include "prefetch_layout.h"
#include "prefetch_sections.h"

namespace pl = prefetch_layout;

namespace {

const pl::file_information_layout* layout_for(uint32_t version, uint32_t metrics_offset) {
    for (const pl::file_information_layout& layout : pl::k_file_information_layouts) {
        if (layout.version != version) continue;
        if (layout.metrics_offset == pl::k_any_metrics_offset || layout.metrics_offset == metrics_offset)
            return &layout;
    }
    return nullptr;
}

// The eight slots in file order; an unreadable slot counts as unused (0).
std::array<uint64_t, pl::run_time_slots::count> read_slots(qn::byte_view image) {
    std::array<uint64_t, pl::run_time_slots::count> slots{};
    for (uint32_t i = 0; i < pl::run_time_slots::count; ++i)
        slots[i] = image.u64(pl::run_time_slots::first + i * pl::run_time_slots::stride).value_or(0);
    return slots;
}

}  // namespace

uint64_t max_run_time(qn::byte_view image) {
    const auto slots = read_slots(image);
    return *std::max_element(slots.begin(), slots.end());
}

bool read_file_information(qn::byte_view image, uint64_t& last_run_time, uint32_t& run_count) {
    last_run_time = 0;
    run_count = 0;
    if (image.u32(pl::header::signature) != pl::k_signature_scca) return false;
    const std::optional<uint32_t> recorded_size = image.u32(pl::header::file_size);
    if (!recorded_size || *recorded_size <= pl::k_min_recorded_file_size) return false;
    const std::optional<uint32_t> version = image.u32(pl::header::version);
    const std::optional<uint32_t> metrics_offset = image.u32(pl::header::metrics_offset);
    if (!version || !metrics_offset) return false;
    const pl::file_information_layout* layout = layout_for(*version, *metrics_offset);
    if (!layout) return false;

    const std::optional<uint32_t> count = image.u32(layout->run_count);
    const std::optional<uint64_t> last =
        layout->run_time_slots ? std::optional<uint64_t>(max_run_time(image)) : image.u64(layout->last_run_time);
    if (!count || !last) return false;
    run_count = *count;
    last_run_time = *last;
    return true;
}

void collect_prev_run_times(qn::byte_view image, std::set<uint64_t>& prev_run_times) {
    const std::optional<uint32_t> version = image.u32(pl::header::version);
    if (!version || !pl::traits_of(*version).earlier_run_times) return;
    const auto slots = read_slots(image);
    const uint64_t latest = *std::max_element(slots.begin(), slots.end());
    // Slot 1 is the latest run when Windows kept the slots in order; when it did not, slot 1 is
    // an earlier run like the others and must not be lost.
    if (slots[0] != 0 && slots[0] != latest) prev_run_times.insert(slots[0]);
    for (size_t i = 1; i < slots.size(); ++i)
        if (slots[i] != 0) prev_run_times.insert(slots[i]);
}
