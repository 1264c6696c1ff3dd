// Top-level parse of a prefetch image: container, header checks, then each section in turn.
#include "prefetch_parser.h"

#include <vector>

#include "container.h"
#include "prefetch_layout.h"
#include "prefetch_sections.h"
#include "runtrail_user_context.h"

namespace pl = prefetch_layout;

static_assert(k_min_prefetch_image > pl::k_min_recorded_file_size);

bool validate_header(qn::byte_view image) {
    return image.data() != nullptr && image.size() >= k_min_prefetch_image &&
           image.u32(pl::header::signature) == pl::k_signature_scca;
}

bool validate_header(const uint8_t* image, size_t length) { return validate_header(qn::byte_view(image, length)); }

const char* version_label(uint32_t version) { return pl::traits_of(version).label; }

namespace {

void clear_parse_results(runtrail_user_context& ctx) {
    ctx.format_version = 0;
    ctx.run_count = 0;
    ctx.last_run_time = 0;
    ctx.exe_name.clear();
    ctx.target_path.clear();
    ctx.prev_run_times.clear();
    ctx.modules.clear();
    ctx.volume_paths.clear();
    ctx.volume_times.clear();
    ctx.volume_serials.clear();
    ctx.volume_dirs.clear();
}

bool parse_image(qn::byte_view image, runtrail_user_context& ctx) {
    if (!validate_header(image)) return false;
    const uint32_t version = image.u32(pl::header::version).value_or(0);
    ctx.format_version = version;

    const utf16_run name = read_utf16_text(image, pl::header::exe_name, pl::header::exe_name_units, ctx.exe_name);
    // The name's own units are what the filename strings are searched for.
    const qn::byte_view name_units = image.sub(pl::header::exe_name, 2 * name.units).value_or(qn::byte_view{});

    // A file whose run information cannot be read is still reported, with run count 0.
    read_file_information(image, ctx.last_run_time, ctx.run_count);

    if (!read_filename_strings(ctx.modules, name_units, ctx.target_path, image)) return false;
    if (ctx.target_path.empty()) ctx.target_path = "unk";

    if (!read_volumes(ctx, image)) return false;
    collect_prev_run_times(image, ctx.prev_run_times);
    ctx.source_label = version_label(version);
    return true;
}

}  // namespace

bool parse_prefetch(const uint8_t* image, size_t length, runtrail_user_context& ctx) {
    clear_parse_results(ctx);
    if (image == nullptr) return false;
    uint32_t declared_size = 0;
    if (detect_container(image, length, declared_size) == container_none)
        return parse_image(qn::byte_view(image, length), ctx);

    // Windows 10 and 11 keep their prefetch files compressed; the sections are read from the
    // decompressed image.
    std::vector<uint8_t> unwrapped(image, image + length);
    if (!unwrap_container(unwrapped) || unwrapped.empty()) return false;
    return parse_image(qn::byte_view(unwrapped), ctx);
}
