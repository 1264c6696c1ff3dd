// Top-level parse of a prefetch image: the header, then each section in turn.
#include "prefetch_parser.h"

#include <vector>

#include "file_metrics.h"
#include "filename_strings.h"
#include "header.h"
#include "layout.h"
#include "prefetch_hash.h"
#include "run_information.h"
#include "volume_info.h"

namespace runtrail {

namespace pl = prefetch_layout;

static_assert(pl::k_min_image_size > pl::k_min_recorded_file_size);

const char* version_label(uint32_t version) { return pl::traits_of(version).label; }

namespace {

// Module spans kept by a thread for the next file: a real file has a few hundred modules, a crafted
// one up to one per 20 bytes of its image, whose list is given back.
constexpr size_t k_kept_module_spans = 0x4000;

bool parse_sections(byte_span image, const prefetch_header& header, prefetch_record& record,
                    std::vector<byte_span>& module_units) {
    if (!read_filename_strings(image, header, record, module_units)) return false;
    read_file_references(image, header, module_units, record.module_references);
    if (!read_volumes(image, header, record.volumes)) return false;
    read_run_information(image, header, record);
    record.version = header.version;
    record.prefetch_hash = header.prefetch_hash;
    record.exe_name = header.exe_name;
    if (record.target_path.empty()) record.target_path = "unk";
    record.path_check = check_program_path_hash(header.version, header.prefetch_hash, header.exe_name,
                                                record.modules, module_units);
    return true;
}

}  // namespace

bool parse_prefetch_image(byte_span image, prefetch_record& record) {
    const std::optional<prefetch_header> header = read_header(image);
    if (!header) return false;
    // Where each module lies in the image, for the sections that refer to the strings; kept by the
    // thread from file to file like the record's own lists, unless a crafted file made it large.
    thread_local std::vector<byte_span> module_units;
    const bool parsed = parse_sections(image, *header, record, module_units);
    if (module_units.capacity() > k_kept_module_spans) std::vector<byte_span>().swap(module_units);
    return parsed;
}

}  // namespace runtrail
