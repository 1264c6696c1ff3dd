#include "prefetch_file.h"

#include "container.h"
#include "file_reader.h"
#include "prefetch_parser.h"

namespace runtrail {

load_result load_prefetch_file(const std::string& path, prefetch_file_buffers& buffers, file_facts& facts,
                               prefetch_record& record, const read_check& may_read, const memory_gate& gate) {
    size_t length = 0;
    file_stats stats;
    if (!read_file(path, k_prefetch_read_cap, buffers.file, length, stats, may_read)) return load_result::unreadable;
    facts.path = path;
    facts.name = file_name_of(path);
    facts.size = stats.size;
    facts.modified = stats.modified;
    facts.accessed = stats.accessed;
    facts.changed = stats.changed;
    return parse_prefetch_bytes(length, buffers, record, gate);
}

load_result parse_prefetch_bytes(size_t length, prefetch_file_buffers& buffers, prefetch_record& record,
                                 const memory_gate& gate) {
    byte_span image(buffers.file.data(), length);
    // Windows 10 and 11 keep their prefetch files compressed; the sections are read from the image
    // inside.
    const container_header container = detect_container(image);
    if (container.kind != container_kind::none) {
        if (gate && !gate(container.declared_size)) return load_result::unreadable;
        if (!unwrap_container(image, container, buffers.decoder, buffers.image)) return load_result::not_prefetch;
        image = byte_span(buffers.image.data(), buffers.image.size());
    }
    if (gate && !gate(k_work_bytes_per_image_byte * image.size())) return load_result::unreadable;
    return parse_prefetch_image(image, record) ? load_result::loaded : load_result::not_prefetch;
}

namespace {

// Buffers up to this size are kept from file to file; real prefetch files are far smaller.
constexpr size_t k_kept_buffer_bytes = 0x100000;  // 1 MiB

template <typename Buffer>
void give_back_if_large(Buffer& buffer) {
    if (buffer.capacity() > k_kept_buffer_bytes) Buffer().swap(buffer);
}

}  // namespace

void trim_prefetch_file_buffers(prefetch_file_buffers& buffers) {
    give_back_if_large(buffers.file);
    give_back_if_large(buffers.image);
}

}  // namespace runtrail
