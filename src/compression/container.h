// The compressed containers Windows 10 and 11 keep their prefetch files in: "MAM" (an Xpress
// Huffman stream), "MEM0" (chunk records of Xpress Huffman) and the hibernation-style 0x81 0x81
// "xpress" block (plain LZ77).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_reader.h"
#include "xpress_huffman.h"

namespace runtrail {

enum class container_kind { none, mem0, mam, xpress_block };

struct container_header {
    container_kind kind = container_kind::none;
    uint32_t declared_size = 0;  // size of the image inside
};

// Shortest input that can hold a container header.
constexpr size_t k_container_min_bytes = 13;
// Largest image a container may declare: the same 16 MiB up to which a plain prefetch file is
// read, so one bound holds for every image the parser sees. Real prefetch images are at most a
// few MiB. (The parse results grow with the image, so a larger cap would let a 140 KiB container
// of long zero runs cost half a GiB and many seconds.)
constexpr size_t k_max_container_image = size_t{16} << 20;

// What the bytes start with; kind none for anything that is not a container (a plain prefetch
// image among them).
container_header detect_container(byte_span bytes);

// Upper bound of the image that `length` bytes of a "MAM" or "MEM0" container can decode to:
// every chunk takes more than 256 input bytes and produces less than 128 KiB (64 KiB plus at most
// one match that runs past the 64 KiB mark).
size_t max_decodable_image(size_t length);

// Decodes the container `bytes`, whose header `header` describes, into `image` (resized to the
// declared size; its capacity is reused from file to file). False when the declared size is beyond
// what the input can decode to or beyond k_max_container_image, or when a hibernation block does
// not decode to its 64 KiB. A "MAM" or "MEM0" stream that breaks off still succeeds: the image
// keeps its declared size, zeros where nothing was decoded. One level only: an image that is
// itself a container is not opened again.
bool unwrap_container(byte_span bytes, const container_header& header, xpress_huffman_decoder& decoder,
                      std::vector<uint8_t>& image);

}  // namespace runtrail
