// The image that costs the most per byte: the largest parse results an image of a given size can
// give. In a "MAM" container of 16 MiB it is the worst-case file of a run: about 64 KiB on disk,
// 838,860 module names and some 440,000 directory names. tests/data/regressions/worst-case.mam is
// that file, as worst_case_mam() makes it; the hostile-input tests check that the two agree.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "xpress_test_encoder.h"

namespace runtrail::test {

// A version 17 image (smallest entries) whose strings block is all empty strings under a huge
// metrics count, then one volume claiming a huge number of one-character directory strings.
inline std::vector<uint8_t> largest_results_image(size_t size) {
    std::vector<uint8_t> b(size, 0);
    const auto put32 = [&b](size_t at, uint32_t value) { std::memcpy(b.data() + at, &value, sizeof value); };
    put32(0x00, 17);
    std::memcpy(b.data() + 4, "SCCA", 4);
    put32(0x0C, static_cast<uint32_t>(size));
    b[0x10] = 'A';
    put32(0x54, 0x98);
    put32(0x58, 0xFFFFFFFF);  // metrics count
    put32(0x64, 0x100);       // strings: zero units from here on
    put32(0x68, 0xFFFFFFFF);  // strings block size
    const size_t volumes = (0x100 + size / 8 + 7) / 8 * 8;
    put32(0x6C, static_cast<uint32_t>(volumes));
    put32(volumes, 40);                // one 40-byte entry; its path "V" follows it
    put32(volumes + 0x20, 0xFFFFFFFF);  // directory count
    b[volumes + 40] = 'V';
    for (size_t p = volumes + 48; p + 6 <= size; p += 6) b[p] = 1, b[p + 2] = 'D';  // count 1, "D", 0
    return b;
}

// The largest image a container may declare.
constexpr size_t k_worst_case_image_size = size_t{16} << 20;

inline std::vector<uint8_t> worst_case_mam() {
    return xpress_test::make_mam(largest_results_image(k_worst_case_image_size));
}

}  // namespace runtrail::test
