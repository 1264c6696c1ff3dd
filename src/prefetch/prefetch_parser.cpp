// Top-level parse of a prefetch image: the header, then each section in turn.
#include "prefetch_parser.h"

#include "image_sections.h"
#include "layout.h"
#include "prefetch_hash.h"

namespace runtrail {

namespace pl = prefetch_layout;

static_assert(pl::k_min_image_size > pl::k_min_recorded_file_size);

const char* version_label(uint32_t version) { return pl::traits_of(version).label; }

std::optional<prefetch_record> parse_prefetch_image(byte_span image) {
    std::optional<prefetch_header> header = read_header(image);
    if (!header) return std::nullopt;
    std::optional<loaded_files> files = read_filename_strings(image, *header);
    if (!files) return std::nullopt;
    std::optional<std::vector<volume_record>> volumes = read_volumes(image, *header);
    if (!volumes) return std::nullopt;
    run_information runs = read_run_information(image, *header);

    prefetch_record record;
    record.version = header->version;
    record.prefetch_hash = header->prefetch_hash;
    record.exe_name = std::move(header->exe_name);
    record.run_count = runs.run_count;
    record.last_run = runs.last_run;
    record.earlier_runs = std::move(runs.earlier_runs);
    record.modules = std::move(files->modules);
    record.target_path = files->target_path.empty() ? "unk" : std::move(files->target_path);
    record.volumes = std::move(*volumes);
    record.path_check = check_path_hash(header->version, header->prefetch_hash, files->target_path_units);
    return record;
}

}  // namespace runtrail
