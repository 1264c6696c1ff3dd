// The image that costs the most per byte: the largest parse results an image of a given size can
// give. In a "MAM" container of 16 MiB it is the worst-case file of a run: about 64 KiB on disk,
// 838,860 module names and some 440,000 directory names. tests/data/regressions/worst-case.mam is
// that file, as worst_case_mam() makes it; the hostile-input tests check that the two agree.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "test_support.h"
#include "xpress_test_encoder.h"

namespace runtrail::test {

// An image of `size` zero bytes but its header: the version, "SCCA", the size, the executable
// name "A", the metrics array's offset and a metrics count past any the image holds.
inline std::vector<uint8_t> crafted_image(size_t size, uint32_t version, uint32_t metrics_offset) {
    std::vector<uint8_t> b(size, 0);
    put<uint32_t>(b, 0x00, version);
    std::memcpy(b.data() + 4, "SCCA", 4);
    put<uint32_t>(b, 0x0C, static_cast<uint32_t>(size));
    b[0x10] = 'A';
    put<uint32_t>(b, 0x54, metrics_offset);
    put<uint32_t>(b, 0x58, 0xFFFFFFFF);
    return b;
}

// A version 17 image (smallest entries) whose strings block is all empty strings under a huge
// metrics count, then one volume claiming a huge number of one-character directory strings.
inline std::vector<uint8_t> largest_results_image(size_t size) {
    std::vector<uint8_t> b = crafted_image(size, 17, 0x98);
    put<uint32_t>(b, 0x64, 0x100);       // strings: zero units from here on
    put<uint32_t>(b, 0x68, 0xFFFFFFFF);  // strings block size
    const size_t volumes = (0x100 + size / 8 + 7) / 8 * 8;
    put<uint32_t>(b, 0x6C, static_cast<uint32_t>(volumes));
    put<uint32_t>(b, volumes, 40);                // one 40-byte entry; its path "V" follows it
    put<uint32_t>(b, volumes + 0x20, 0xFFFFFFFF);  // directory count
    b[volumes + 40] = 'V';
    for (size_t p = volumes + 48; p + 6 <= size; p += 6) b[p] = 1, b[p + 2] = 'D';  // count 1, "D", 0
    return b;
}

// A version 30 image whose timeline report is the longest an image of its size can give: the
// program's name ("\A") as every module, then volumes of no device path (each module lies on the
// first) with a valid creation time, and eight valid run times. Each run event repeats the
// module list, twice as path hints; each volume is an event of its own.
inline std::vector<uint8_t> largest_report_image(size_t size, size_t volumes) {
    constexpr uint64_t k_a_time = 131000000000000000ULL;  // 2016
    constexpr size_t k_entry = 96;                        // a version 30 volume entry
    std::vector<uint8_t> b = crafted_image(size, 30, 0x130);
    for (size_t i = 0; i < 8; ++i) put<uint64_t>(b, 0x80 + 8 * i, k_a_time + i * 10000000);
    put<uint32_t>(b, 0xD0, 8);  // run count
    const size_t section = (size - volumes * k_entry - 64) / 8 * 8;
    put<uint32_t>(b, 0x64, 0x200);
    put<uint32_t>(b, 0x68, static_cast<uint32_t>(section - 0x200));
    put<uint32_t>(b, 0x6C, static_cast<uint32_t>(section));
    for (size_t p = 0x200; p + 6 <= section; p += 6) b[p] = '\\', b[p + 2] = 'A';  // "\A", 0
    for (size_t k = 0; k < volumes; ++k) {
        put<uint32_t>(b, section + k * k_entry, static_cast<uint32_t>(volumes * k_entry));  // the path: a zero unit
        put<uint64_t>(b, section + k * k_entry + 8, k_a_time);
    }
    return b;
}

// The largest image a container may declare.
constexpr size_t k_worst_case_image_size = size_t{16} << 20;

inline std::vector<uint8_t> worst_case_mam() {
    return xpress_test::make_mam(largest_results_image(k_worst_case_image_size));
}

}  // namespace runtrail::test
