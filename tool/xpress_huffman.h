// One chunk of the LZ77+Huffman format ("Xpress Huffman"): a 256-byte table of 4-bit code
// lengths, then a bit stream of 16-bit little-endian words read from the most significant bit,
// with the extension bytes of long matches interleaved between the words.
#pragma once

#include <cstddef>
#include <cstdint>

class xpress_adt;

// Builds the decoder's code lengths and decode table from the chunk's first 256 bytes. True when
// this chunk's code fills the 32768-entry table completely (an over-full code is cut off at the
// end of the table and counts as complete); the decoder's ready flag is then set. False for fewer
// than 256 bytes or a code that leaves entries unfilled.
bool build_table(xpress_adt& decoder, const uint8_t* chunk, size_t available);

// Decodes one chunk starting at `chunk` (with `available` bytes up to the end of the input) into
// the decoder's output at its output position, until the chunk has produced 64 KiB, the input is
// used up or the output is full. `used` receives the input bytes the chunk took (0 on failure).
// Fails on an incomplete table, a bad length escape or a match reaching before the output start.
bool decode_chunk(xpress_adt& decoder, const uint8_t* chunk, size_t available, size_t& used);
