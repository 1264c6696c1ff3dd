#include "prefetch_file.h"

#include "container.h"
#include "file_reader.h"
#include "prefetch_parser.h"

namespace runtrail {

load_result load_prefetch_file(const std::string& path, prefetch_file_buffers& buffers, file_facts& facts,
                               prefetch_record& record) {
    size_t length = 0;
    file_stats stats;
    if (!read_file(path, k_prefetch_read_cap, buffers.file, length, stats)) return load_result::unreadable;
    facts.path = path;
    facts.name = file_name_of(path);
    facts.size = stats.size;
    facts.modified = stats.modified;
    facts.accessed = stats.accessed;
    facts.changed = stats.changed;
    return parse_prefetch_bytes(length, buffers, record);
}

load_result parse_prefetch_bytes(size_t length, prefetch_file_buffers& buffers, prefetch_record& record) {
    byte_span image(buffers.file.data(), length);
    // Windows 10 and 11 keep their prefetch files compressed; the sections are read from the image
    // inside.
    const container_header container = detect_container(image);
    if (container.kind != container_kind::none) {
        if (!unwrap_container(image, container, buffers.decoder, buffers.image)) return load_result::not_prefetch;
        image = byte_span(buffers.image.data(), buffers.image.size());
    }
    return parse_prefetch_image(image, record) ? load_result::loaded : load_result::not_prefetch;
}

}  // namespace runtrail
