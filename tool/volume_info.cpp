// The volume information section: one fixed-size entry per volume, followed by the device paths,
// file reference blocks and directory strings the entries point to.
#include <algorithm>

#include "prefetch_layout.h"
#include "prefetch_parser.h"
#include "prefetch_sections.h"
#include "runtrail_user_context.h"

namespace pl = prefetch_layout;
namespace ve = prefetch_layout::volume_entry;

namespace {

constexpr uint64_t align_up(uint64_t value) {
    return (value + pl::k_volume_block_alignment - 1) / pl::k_volume_block_alignment * pl::k_volume_block_alignment;
}

// Bytes of text the volume readers may still scan. In a well-formed file the paths and
// directory lists of the volumes never overlap, so together they span less than the image;
// entries that all point at the same bytes must not multiply the work and memory.
struct scan_budget {
    uint64_t bytes;
    bool take(uint64_t n) {
        if (n > bytes) return false;
        bytes -= n;
        return true;
    }
};

// Directory strings: a u16 character count (zero words before it are skipped), the
// characters, a zero unit. The list ends at `count` strings or where the image ends.
std::map<uint64_t, std::string> read_directories(qn::byte_view image, uint64_t p, uint64_t count,
                                                 scan_budget& budget) {
    std::map<uint64_t, std::string> dirs;
    const uint64_t length = image.size();
    uint64_t n = 0;
    while (p < length && n < count) {
        uint16_t chars = 0;
        while (chars == 0) {
            const std::optional<uint16_t> word = image.u16(p);
            if (!word || !budget.take(2)) return dirs;
            chars = *word;
            p += 2;
        }
        const uint64_t end = p + 2ULL * chars;
        if (end > length || !budget.take(2ULL * chars + 2)) return dirs;
        std::string text;
        read_utf16_text(image, p, chars, text);
        dirs.emplace_hint(dirs.end(), ++n, std::move(text));  // positions ascend
        p = end + 2;
    }
    return dirs;
}

}  // namespace

bool read_volumes(runtrail_user_context& ctx, qn::byte_view image) {
    if (!validate_header(image)) return false;
    const uint64_t length = image.size();
    const uint64_t base = image.u32(pl::header::volumes_offset).value_or(0);
    if (base > length) return false;

    const uint32_t version = image.u32(pl::header::version).value_or(0);
    const uint64_t entry_size = pl::traits_of(version).volume_entry_size;
    // The entry array is followed directly by the first device path, so the first entry's path
    // offset divided by the entry size is the number of entries.
    const auto first_path = static_cast<int32_t>(image.u32(base + ve::device_path_offset).value_or(0));
    const int64_t count = first_path / static_cast<int64_t>(entry_size);

    scan_budget budget{length};
    for (int64_t k = 0; k < count; ++k) {
        const std::optional<qn::byte_view> entry = image.sub(base + k * entry_size, ve::fields_end);
        if (!entry) break;  // the entry array runs past the image
        const uint32_t path_offset = entry->u32(ve::device_path_offset).value_or(0);
        uint64_t pos = base + path_offset;
        if (path_offset == 0 || pos > length) break;

        std::string device_path;
        const utf16_run path = read_utf16_text(image, pos, std::min(length - pos, budget.bytes) / 2, device_path);
        const uint64_t path_bytes = 2 * path.units + (path.terminated ? 2 : 0);
        budget.take(path_bytes);
        pos += path_bytes;

        ctx.volume_serials.push_back(entry->u32(ve::serial).value_or(0));
        ctx.volume_paths.push_back(std::move(device_path));
        ctx.volume_times.push_back(entry->u64(ve::creation_time).value_or(0));

        // Directory strings follow the device path and the file reference block, each aligned.
        const uint64_t dirs_at = align_up(align_up(pos) + entry->u32(ve::file_references_size).value_or(0));
        ctx.volume_dirs.push_back(
            read_directories(image, dirs_at, entry->u32(ve::directory_count).value_or(0), budget));
    }
    return true;
}
