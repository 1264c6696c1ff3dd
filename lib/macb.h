// MACB grouping for timelines: an object's four timestamps (modified, accessed, changed,
// born) are folded into one row per distinct point in time, each row carrying a four-letter
// MACB text ("M.CB", "..C.") that says which timestamps fall on it and a description made of
// their labels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qn_time.h"

namespace qn {

enum : size_t { k_macb_m = 0, k_macb_a = 1, k_macb_c = 2, k_macb_b = 3 };

struct macb_record {
    uint64_t times[4] = {0, 0, 0, 0};  // M, A, C, B in the encoding named by `type`
    std::string labels[4];             // label of M, A, C, B
    std::string generic_label;         // stands in for an empty label (bracket form)
    uint32_t type = type_filetime;
    int32_t tag = 0;                   // copied into every row
    // Further timestamps that count as "C". The four lists run in step; extra_used is set
    // while merging, for each extra time placed in a row.
    std::vector<uint64_t> extra_times;
    std::vector<std::string> extra_labels;
    std::vector<std::string> extra_texts1;
    std::vector<std::string> extra_texts2;
    std::vector<uint8_t> extra_used;

    void reset() { *this = macb_record{}; }
};

struct timeline_row {
    uint32_t type = type_filetime;
    qn::time time;
    std::string macb;
    std::string description;
    int32_t tag = 0;
    std::string extra_text1;
    std::string extra_text2;
};

// Appends the rows of one record: the M row, the A row, the C row, the B row (each only when
// its time takes part and was not already placed in an earlier row), then one row per extra
// time still unplaced. A time takes part when it is non-zero and valid as a qn::time of `type`.
void merge_macb(std::vector<timeline_row>& rows, macb_record& record, uint32_t type);

}  // namespace qn
