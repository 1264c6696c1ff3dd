// The texts of a parallel run's large reports, kept once the reports are put out, so that later
// large reports are copied into memory already touched rather than into a fresh mapping (past
// 256 KiB every text is one, and each of its pages a fault when first written).
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace runtrail {

class spare_report_texts {
public:
    // `least`: texts of at most this capacity are not kept (a task keeps its own); `most`: what the
    // kept texts may hold together. The list has room for every text that can be kept, so that
    // keeping one never allocates on the thread that puts reports out.
    spare_report_texts(size_t least, size_t most) : least_(least), most_(most) {
        texts_.reserve(least > 0 ? most / least : 0);
    }

    // The smallest kept text that holds `size` bytes, emptied, or an empty text when none does.
    std::string take(size_t size);
    // Takes a text larger than `least` from its task: kept while there is room, freed otherwise. A
    // smaller one is left to the task.
    void keep(std::string& text);

private:
    const size_t least_;
    const size_t most_;
    std::mutex lock_;
    std::vector<std::string> texts_;  // in order of capacity
    size_t bytes_ = 0;
};

}  // namespace runtrail
