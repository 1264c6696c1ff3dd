// Images built to make the parse results as large as the format allows for their size: a
// version 17 image (smallest metrics and volume entries) whose filename strings block is all
// empty strings under a huge metrics count, followed by one volume with a huge directory count
// over a run of one-character directory strings. Used to show that memory stays proportional
// to the image, never to the counts the file claims.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace worst_images {

inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

constexpr uint32_t k_strings_offset = 0x100;

inline std::vector<uint8_t> many_entries(size_t size) {
    std::vector<uint8_t> b(size, 0);
    put32(b, 0x00, 17);
    std::memcpy(b.data() + 4, "SCCA", 4);
    put32(b, 0x0C, static_cast<uint32_t>(size));
    b[0x10] = 'A';  // executable name "A"
    put32(b, 0x54, 0x98);
    put32(b, 0x58, 0xFFFFFFFF);  // metrics count
    put32(b, 0x64, k_strings_offset);
    put32(b, 0x68, 0xFFFFFFFF);  // strings block size
    // Zero units from the strings offset: one empty string each, as many as the count allows.
    const size_t volumes = (k_strings_offset + size / 8 + 7) / 8 * 8;
    put32(b, 0x6C, static_cast<uint32_t>(volumes));
    // One 40-byte entry; its device path (a single "V") follows it, then the directories.
    const size_t path = 40;
    put32(b, volumes + 0x00, static_cast<uint32_t>(path));
    put32(b, volumes + 0x10, 0x12345678);
    put32(b, volumes + 0x18, 0);           // no file references
    put32(b, volumes + 0x20, 0xFFFFFFFF);  // directory count
    b[volumes + path] = 'V';
    // Directory strings from the next 8-byte boundary: count 1, "D", terminator.
    for (size_t p = volumes + path + 8; p + 6 <= size; p += 6) {
        b[p] = 1;
        b[p + 2] = 'D';
    }
    return b;
}

}  // namespace worst_images
