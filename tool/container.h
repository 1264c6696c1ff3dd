// Compressed containers around Windows 10/11 prefetch images: "MAM" (Xpress Huffman stream),
// "MEM0" (chunk records of Xpress Huffman) and the hibernation-style 0x81 0x81 "xpress" block
// (plain LZ77).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class xpress_adt;

enum container_kind : uint32_t {
    container_none = 0,
    container_mem0 = 2,
    container_mam = 3,
    container_xpress_block = 4,
};

// Shortest input that can hold a container header.
constexpr size_t k_container_min_bytes = 13;
// Largest image a container may declare: the same 16 MiB up to which a plain prefetch file is
// read, so one bound holds for every image the parser sees. Real prefetch images are at most a
// few MiB; anything larger is treated as a bad file. (The parse results grow with the image, so
// a larger cap would let a 140 KiB container of long zero runs cost half a GiB and many seconds.)
constexpr size_t k_max_container_image = size_t{16} << 20;

container_kind detect_container(const uint8_t* bytes, size_t length, uint32_t& declared_size);

// Upper bound of the image that `length` bytes of a "MAM" or "MEM0" container can decode to:
// every chunk takes more than 256 input bytes and produces less than 128 KiB (64 KiB plus at most
// one match that runs past the 64 KiB mark).
size_t max_decodable_image(size_t length);

// Decodes the container in bytes[0..length) into decoder.m_output. False when there is no
// container, its declared size is beyond what the input can decode to or beyond
// k_max_container_image, or a hibernation block fails. A "MAM" or "MEM0" stream that breaks off
// still succeeds: the image keeps its declared size with zeros where nothing was decoded.
bool decompress(xpress_adt& decoder, const uint8_t* bytes, size_t length);
bool decompress(xpress_adt& decoder, const std::vector<uint8_t>& bytes);

// If `buffer` holds a container, replaces it with the decompressed image and returns true;
// returns true and leaves it unchanged when there is no container; false when a container
// cannot be decompressed (or decompresses to nothing). Opens one level of container only: an
// image that is itself a container is left for the caller (the parser opens it once more).
bool unwrap_container(std::vector<uint8_t>& buffer);
