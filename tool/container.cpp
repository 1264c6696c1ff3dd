// Container detection and the per-container decoding loop around the two Xpress decoders.
#include "container.h"

#include <algorithm>
#include <cstring>

#include "byte_view.h"
#include "xpress_adt.h"
#include "xpress_huffman.h"
#include "xpress_lz77.h"

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

bool decode_chunk_stream(xpress_adt& d, const qn::byte_view input) {
    const size_t n = input.size();
    if (d.m_declared_size > k_max_container_image || d.m_declared_size > max_decodable_image(n)) return false;

    d.m_output.assign(d.m_declared_size, 0);
    d.m_output_pos = 0;
    size_t offset = k_stream_offset;
    int64_t previous_length = static_cast<int64_t>(k_mam_chunk_size);
    while (offset < n && n - offset >= k_min_chunk_input && previous_length > 0 &&
           d.m_output_pos < d.m_declared_size) {
        int64_t length = static_cast<int64_t>(k_mam_chunk_size);
        if (d.m_kind == container_mem0) {
            length = static_cast<int32_t>(*input.u32(offset));
            offset += k_chunk_record_length_bytes;
        }
        size_t used = 0;
        if (!decode_chunk(d, input.data() + offset, n - offset, used) || used == 0) break;
        if (d.m_kind == container_mem0) {
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

bool decode_hiber_block(xpress_adt& d, const uint8_t* bytes, size_t length) {
    if (d.m_declared_size != k_xpress_block_output_bytes) return false;
    d.m_output.assign(k_xpress_block_output_bytes, 0);
    uint32_t capacity = static_cast<uint32_t>(k_xpress_block_output_bytes);
    if (decode_xpress_block(d.m_output.data(), capacity, bytes, length) == 0) return false;
    if (capacity != k_xpress_block_output_bytes) return false;
    d.m_output_pos = capacity;
    d.m_ready = 1;
    return true;
}

}  // namespace

container_kind detect_container(const uint8_t* bytes, size_t length, uint32_t& declared_size) {
    declared_size = 0;
    const qn::byte_view in(bytes, length);
    if (in.size() < k_container_min_bytes) return container_none;
    if (std::memcmp(in.data(), k_hiber_signature, sizeof k_hiber_signature) == 0) {
        declared_size = (uint32_t{*in.u8(k_page_count_offset)} + 1) << k_page_shift;
        return container_xpress_block;
    }
    declared_size = *in.u32(k_declared_size_offset);
    if (declared_size == 0) return container_none;
    const uint32_t signature = *in.u32(k_signature_offset);
    if (signature == k_mem0_signature) return container_mem0;
    if ((signature & k_mam_signature_mask) == k_mam_signature) return container_mam;
    return container_none;
}

size_t max_decodable_image(size_t length) {
    if (length <= k_stream_offset) return 0;
    const size_t chunks = (length - k_stream_offset + k_min_chunk_input - 1) / k_min_chunk_input;
    return chunks * k_max_chunk_output;
}

bool decompress(xpress_adt& decoder, const uint8_t* bytes, size_t length) {
    uint32_t declared = 0;
    const container_kind kind = detect_container(bytes, length, declared);
    if (kind == container_none) return false;
    decoder.m_kind = kind;
    decoder.m_declared_size = declared;
    if (kind == container_xpress_block) return decode_hiber_block(decoder, bytes, length);
    return decode_chunk_stream(decoder, qn::byte_view(bytes, length));
}

bool decompress(xpress_adt& decoder, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    return decompress(decoder, bytes.data(), bytes.size());
}

bool unwrap_container(std::vector<uint8_t>& buffer) {
    uint32_t declared = 0;
    if (detect_container(buffer.data(), buffer.size(), declared) == container_none) return true;
    xpress_adt decoder;
    if (!decompress(decoder, buffer) || decoder.m_output.empty()) return false;
    buffer.swap(decoder.m_output);
    return true;
}
