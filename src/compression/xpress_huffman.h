// The LZ77+Huffman chunk decoder. One decoder serves any number of chunks and files: its decode
// table is rebuilt from each chunk's code lengths and its memory reused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "xpress_huffman_format.h"

namespace runtrail {

// The two levels of the decode table (see xpress_huffman_format.h); the second-level tables in
// use lie one after the other from the start of `second`.
struct xpress_decode_table {
    std::array<uint16_t, k_first_level_entries> first;
    std::array<uint16_t, k_max_second_level_tables * k_second_level_entries> second;
};

class xpress_huffman_decoder {
public:
    xpress_huffman_decoder();

    // Decodes the chunk at `chunk` (`available` bytes up to the end of the input) into
    // image[pos, ...), until the chunk has produced 64 KiB, the input is used up or the image
    // (`image_size` bytes) is full; `pos` advances past what was written. `used` receives the input
    // bytes the chunk took (0 on failure). Fails on a code that does not fill the decode table, a
    // bad length escape or a match reaching before the image start; the bytes decoded before the
    // failure stay.
    bool decode_chunk(const uint8_t* chunk, size_t available, uint8_t* image, size_t image_size, size_t& pos,
                      size_t& used);

private:
    // Builds the decode table from the chunk's first 256 bytes; false for fewer bytes or a code
    // that leaves entries unfilled (an over-full code is cut off at the end of the code space).
    bool build_table(const uint8_t* chunk, size_t available);

    std::unique_ptr<xpress_decode_table> table_;  // 20 KiB, so on the heap
};

}  // namespace runtrail
