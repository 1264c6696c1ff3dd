// The execution timeline as the page shows it without scripts: an inline SVG picture, time across,
// one row per program, a mark for each stored run time and the last run marked apart. It is drawn
// at the end of the run, when the time axis is known, from a bounded summary: at most
// k_most_rows programs (those run most recently) with at most k_most_marks run times each, so its
// memory does not grow with the number of files. With scripts on, the page draws every program
// from its data blocks instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace runtrail {

struct picture_row {
    std::string name;             // the program, printable, not yet escaped
    std::vector<int64_t> runs;    // milliseconds since 1970, each a stored run time, latest first
    int64_t last_run = INT64_MIN;  // the run marked apart; INT64_MIN: none
    uint64_t order = 0;           // the file's place in the run, which breaks ties
    int64_t latest() const;
};

class static_timeline {
public:
    static constexpr size_t k_most_rows = 500;
    static constexpr size_t k_most_marks = 8;

    // One program. A row without any run time is counted but not drawn.
    void add(picture_row row);
    // The <svg> picture (or a line saying there is nothing to draw), with a note when programs
    // were left out.
    void draw(std::string& out) const;

private:
    std::vector<picture_row> kept_;  // a heap whose front is the row that leaves first
    uint64_t drawable_ = 0;           // rows with at least one run time
};

}  // namespace runtrail
