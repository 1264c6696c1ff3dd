// UTF-16LE strings inside a prefetch image: runs of code units ended by a zero unit.
#include "utf16_string.h"

#include <algorithm>

#include "unicode_text.h"

namespace runtrail {

namespace {

constexpr uint64_t k_unit_bytes = 2;

// Strings set aside per thread, and the largest kept: a real file's names are well under this, and
// its lists differ from the next file's by a few hundred names at most.
constexpr size_t k_most_spare_strings = 1024;
constexpr size_t k_largest_spare_string = 256;

std::vector<std::string>& spare_strings() {
    thread_local std::vector<std::string> spare;
    return spare;
}

}  // namespace

utf16_run read_utf16_string(byte_span image, uint64_t offset, uint64_t max_units, std::string& text) {
    utf16_run run;
    text.clear();
    byte_reader in(image);
    const byte_span area = in.tail(offset);
    if (!in.ok()) return run;
    // The conversion never looks past `limit` units, all of which lie inside the image.
    const uint64_t limit = std::min<uint64_t>(area.size() / k_unit_bytes, max_units);
    run.units = utf16le_name_to_utf8(text, area.data(), static_cast<size_t>(limit));
    run.terminated = run.units < limit;
    return run;
}

std::string& next_string(std::vector<std::string>& list, size_t used) {
    if (used == list.size()) {
        std::vector<std::string>& spare = spare_strings();
        if (spare.empty()) {
            list.emplace_back();
        } else {
            list.push_back(std::move(spare.back()));
            spare.pop_back();
        }
    }
    return list[used];
}

void trim_strings(std::vector<std::string>& list, size_t used) {
    std::vector<std::string>& spare = spare_strings();
    while (list.size() > used && spare.size() < k_most_spare_strings) {
        if (list.back().capacity() <= k_largest_spare_string) spare.push_back(std::move(list.back()));
        list.pop_back();
    }
    list.resize(used);
}

}  // namespace runtrail
