// MACB grouping for timelines: an object's four times (modified, accessed, changed, born) are
// folded into one row per distinct point in time. Each row's four-letter MACB text ("M.CB",
// "..C.") says which times fall on it, and its description joins their labels with "; ".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace runtrail {

enum macb_slot : size_t { k_macb_m = 0, k_macb_a = 1, k_macb_c = 2, k_macb_b = 3 };

struct macb_times {
    std::array<uint64_t, 4> times{};  // FILETIMEs of M, A, C, B; a time that is not printable takes no part
    std::array<const char*, 4> labels{};
};

struct timeline_row {
    uint64_t time = 0;
    std::string macb;
    std::string description;
};

// The rows in ascending order of time (equal times in M, A, C, B order of their first letter).
std::vector<timeline_row> merge_macb(const macb_times& object);

}  // namespace runtrail
