// Compressed containers around Windows 10/11 prefetch images: "MAM" (Xpress Huffman stream),
// "MEM0" (chunk records of Xpress Huffman) and the hibernation-style 0x81 0x81 "xpress" block
// (plain LZ77).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum container_kind : uint32_t {
    container_none = 0,
    container_mem0 = 2,
    container_mam = 3,
    container_xpress_block = 4,
};

container_kind detect_container(const uint8_t* bytes, size_t length, uint32_t& declared_size);

// If `buffer` holds a container, replaces it with the decompressed image and returns true;
// returns true and leaves it unchanged when there is no container; false when a container
// cannot be decompressed (or decompresses to nothing).
bool unwrap_container(std::vector<uint8_t>& buffer);
