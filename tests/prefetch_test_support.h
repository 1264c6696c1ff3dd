// Shared helpers for the prefetch parser tests: loading real files from tests/data and building
// small synthetic images.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "prefetch_parser.h"
#include "runtrail_user_context.h"

namespace test_support {

inline std::filesystem::path data_path(const std::string& relative) {
    return std::filesystem::path(RUNTRAIL_TEST_DATA) / relative;
}

inline std::vector<uint8_t> load(const std::string& relative) {
    std::ifstream in(data_path(relative), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool parse(const std::vector<uint8_t>& image, runtrail_user_context& ctx) {
    ctx.reset_record();
    return parse_prefetch(image.data(), image.size(), ctx);
}

// Little-endian writes into a test image; a write outside it is a mistake in the test.
template <typename T>
void put(std::vector<uint8_t>& b, size_t at, T v) {
    if (at > b.size() || sizeof(T) > b.size() - at) throw std::out_of_range("test image write");
    std::memcpy(b.data() + at, &v, sizeof(T));
}
inline void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { put(b, at, v); }
inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { put(b, at, v); }
inline void put64(std::vector<uint8_t>& b, size_t at, uint64_t v) { put(b, at, v); }
inline uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    if (at > b.size() || 4 > b.size() - at) throw std::out_of_range("test image read");
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// Writes the UTF-16LE units of `text` at `at`, plus a zero unit when `terminate`; returns the
// offset just past what was written.
inline size_t put_utf16(std::vector<uint8_t>& b, size_t at, const std::u16string& text, bool terminate = true) {
    for (char16_t u : text) {
        put16(b, at, static_cast<uint16_t>(u));
        at += 2;
    }
    if (terminate) {
        put16(b, at, 0);
        at += 2;
    }
    return at;
}

// A minimal well-formed image: header, empty file information, an empty filename strings block
// and an empty volume section, all inside `size` bytes of zeros.
inline std::vector<uint8_t> make_image(uint32_t version, size_t size = 0x400) {
    std::vector<uint8_t> b(size, 0);
    put32(b, 0x00, version);
    std::memcpy(b.data() + 4, "SCCA", 4);
    put32(b, 0x0C, static_cast<uint32_t>(size));
    put32(b, 0x54, 0x130);  // metrics offset (selects the long version 30/31 layout)
    put32(b, 0x64, static_cast<uint32_t>(size));  // filename strings: none
    put32(b, 0x6C, static_cast<uint32_t>(size));  // volumes: none
    return b;
}

}  // namespace test_support
