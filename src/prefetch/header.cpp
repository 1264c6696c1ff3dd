// The file header: signature, version, executable name, hash, and where the sections start.
#include "header.h"

#include "layout.h"
#include "utf16_string.h"

namespace runtrail {

namespace pl = prefetch_layout;

std::optional<prefetch_header> read_header(byte_span image) {
    if (image.size() < pl::k_min_image_size) return std::nullopt;
    byte_reader in(image);
    if (in.u32(pl::header::signature) != pl::k_signature_scca) return std::nullopt;
    prefetch_header h;
    h.version = in.u32(pl::header::version);
    h.recorded_file_size = in.u32(pl::header::file_size);
    h.prefetch_hash = in.u32(pl::header::prefetch_hash);
    h.metrics_offset = in.u32(pl::header::metrics_offset);
    h.metrics_count = in.u32(pl::header::metrics_count);
    h.filename_strings_offset = in.u32(pl::header::filename_strings_offset);
    h.filename_strings_size = in.u32(pl::header::filename_strings_size);
    h.volumes_offset = in.u32(pl::header::volumes_offset);
    const utf16_run name = read_utf16_string(image, pl::header::exe_name, pl::header::exe_name_units, h.exe_name);
    // The name's own units are what the filename strings are searched for.
    h.exe_name_units = in.span(pl::header::exe_name, 2 * name.units);
    if (!in.ok()) return std::nullopt;
    return h;
}

}  // namespace runtrail
