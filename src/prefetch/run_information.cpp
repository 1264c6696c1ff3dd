// Run count, last run time and earlier run times from the file information block.
#include "run_information.h"

#include <algorithm>
#include <array>

#include "layout.h"

namespace runtrail {

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

using run_time_slots = std::array<uint64_t, pl::run_time_slots::count>;

// The eight slots in file order (always inside an accepted image, which is at least 228 bytes).
run_time_slots read_slots(byte_reader& in) {
    run_time_slots slots{};
    for (uint32_t i = 0; i < pl::run_time_slots::count; ++i)
        slots[i] = in.u64(pl::run_time_slots::first + i * pl::run_time_slots::stride);
    return slots;
}

// Slot 1 is the latest run when Windows kept the slots in order; when it did not, slot 1 is an
// earlier run like the others and must not be lost. The last run is the largest slot.
void collect_earlier_runs(const run_time_slots& slots, std::vector<uint64_t>& earlier) {
    const uint64_t latest = *std::max_element(slots.begin(), slots.end());
    if (slots[0] != 0 && slots[0] != latest) earlier.push_back(slots[0]);
    for (size_t i = 1; i < slots.size(); ++i)
        if (slots[i] != 0) earlier.push_back(slots[i]);
    std::sort(earlier.begin(), earlier.end());
    earlier.erase(std::unique(earlier.begin(), earlier.end()), earlier.end());
}

}  // namespace

void read_run_information(byte_span image, const prefetch_header& header, prefetch_record& record) {
    record.run_count = 0;
    record.last_run = 0;
    record.earlier_runs.clear();
    byte_reader in(image);
    const run_time_slots slots = read_slots(in);
    if (pl::traits_of(header.version).earlier_run_times) collect_earlier_runs(slots, record.earlier_runs);

    const pl::file_information_layout* layout = layout_for(header.version, header.metrics_offset);
    if (header.recorded_file_size <= pl::k_min_recorded_file_size || layout == nullptr) return;
    const uint32_t run_count = in.u32(layout->run_count);
    const uint64_t last_run =
        layout->run_time_slots ? *std::max_element(slots.begin(), slots.end()) : in.u64(layout->last_run_time);
    if (in.ok()) {
        record.run_count = run_count;
        record.last_run = last_run;
    }
}

}  // namespace runtrail
