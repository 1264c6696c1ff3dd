#include "container.h"

#include <algorithm>
#include <cstring>

#include "xpress_lz77.h"

namespace runtrail {
namespace {

constexpr uint8_t k_hiber_signature[8] = {0x81, 0x81, 'x', 'p', 'r', 'e', 's', 's'};
constexpr uint32_t k_mem0_signature = 0x304D454D;  // "MEM0" read as a little-endian 32-bit value
constexpr uint32_t k_mam_signature = 0x004D414D;   // "MAM" in the low three bytes
constexpr uint32_t k_mam_signature_mask = 0x00FFFFFF;
constexpr size_t k_signature_offset = 0;
constexpr size_t k_declared_size_offset = 4;
constexpr size_t k_page_count_offset = 8;
constexpr unsigned k_page_shift = 12;  // 4096-byte pages
constexpr size_t k_stream_offset = 8;  // "MAM"/"MEM0": first chunk (record) after the header
constexpr size_t k_chunk_record_length_bytes = 4;
// A chunk can start only with more than its 256-byte table left in the input.
constexpr size_t k_min_chunk_input = k_huffman_table_bytes + 1;
constexpr size_t k_max_chunk_output = 2 * k_mam_chunk_size;

bool decode_chunk_stream(byte_span input, const container_header& header, xpress_huffman_decoder& decoder,
                         std::vector<uint8_t>& image) {
    const size_t n = input.size();
    const size_t declared = header.declared_size;
    if (declared > k_max_container_image || declared > max_decodable_image(n)) return false;

    image.assign(declared, 0);
    byte_reader records(input);
    size_t pos = 0;
    size_t offset = k_stream_offset;
    int64_t previous_length = static_cast<int64_t>(k_mam_chunk_size);
    while (offset < n && n - offset >= k_min_chunk_input && previous_length > 0 && pos < declared) {
        int64_t length = static_cast<int64_t>(k_mam_chunk_size);
        if (header.kind == container_kind::mem0) {
            length = static_cast<int32_t>(records.u32(offset));
            offset += k_chunk_record_length_bytes;
        }
        size_t used = 0;
        if (!decoder.decode_chunk(input.data() + offset, n - offset, image.data(), declared, pos, used) || used == 0)
            break;
        if (header.kind == container_kind::mem0) {
            // A record too short to hold even its own table ends the stream (as a length of 0
            // or less does); otherwise a file of 5-byte records would rebuild the 32768-entry
            // table for every 5 input bytes.
            if (length < static_cast<int64_t>(k_min_chunk_input)) break;
            offset += static_cast<size_t>(length);
        } else {
            offset += used;  // the next chunk's table follows the previous chunk's input
        }
        previous_length = length;
    }
    return true;
}

bool decode_hiber_block(byte_span input, const container_header& header, std::vector<uint8_t>& image) {
    if (header.declared_size != k_xpress_block_output_bytes) return false;
    image.assign(k_xpress_block_output_bytes, 0);
    return decode_xpress_block(input, image.data(), image.size()) != 0;
}

}  // namespace

container_header detect_container(byte_span bytes) {
    if (bytes.size() < k_container_min_bytes) return {};
    byte_reader in(bytes);
    if (std::memcmp(bytes.data(), k_hiber_signature, sizeof k_hiber_signature) == 0)
        return {container_kind::xpress_block, (uint32_t{in.u8(k_page_count_offset)} + 1) << k_page_shift};
    const uint32_t declared = in.u32(k_declared_size_offset);
    if (declared == 0) return {};
    const uint32_t signature = in.u32(k_signature_offset);
    if (signature == k_mem0_signature) return {container_kind::mem0, declared};
    if ((signature & k_mam_signature_mask) == k_mam_signature) return {container_kind::mam, declared};
    return {};
}

size_t max_decodable_image(size_t length) {
    if (length <= k_stream_offset) return 0;
    const size_t chunks = (length - k_stream_offset + k_min_chunk_input - 1) / k_min_chunk_input;
    return chunks * k_max_chunk_output;
}

bool unwrap_container(byte_span bytes, const container_header& header, xpress_huffman_decoder& decoder,
                      std::vector<uint8_t>& image) {
    switch (header.kind) {
        case container_kind::none:
            return false;
        case container_kind::xpress_block:
            return decode_hiber_block(bytes, header, image);
        case container_kind::mam:
        case container_kind::mem0:
            return decode_chunk_stream(bytes, header, decoder, image) && !image.empty();
    }
    return false;
}

}  // namespace runtrail
