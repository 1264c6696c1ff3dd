#include "macb.h"

#include <algorithm>

#include "filetime.h"

namespace runtrail {

std::vector<timeline_row> merge_macb(const macb_times& object) {
    static constexpr char k_letters[4] = {'M', 'A', 'C', 'B'};
    std::array<bool, 4> placed{};
    for (size_t i = 0; i < 4; ++i) placed[i] = object.times[i] == 0 || !printable_time(object.times[i]);

    // A row belongs to the first unplaced time in M, A, C, B order; every later time equal to it
    // joins that row, and its letter and label with it.
    std::vector<timeline_row> rows;
    for (size_t owner = 0; owner < 4; ++owner) {
        if (placed[owner]) continue;
        timeline_row row;
        row.time = object.times[owner];
        row.macb.assign(owner, '.');
        for (size_t slot = owner; slot < 4; ++slot) {
            if (placed[slot] || object.times[slot] != row.time) {
                row.macb.push_back('.');
                continue;
            }
            placed[slot] = true;
            row.macb.push_back(k_letters[slot]);
            if (!row.description.empty()) row.description += "; ";
            row.description += object.labels[slot];
        }
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const timeline_row& a, const timeline_row& b) { return a.time < b.time; });
    return rows;
}

}  // namespace runtrail
