// The volume information section: one fixed-size entry per volume, followed by the device paths,
// file reference blocks and directory strings the entries point to.
#include "volume_info.h"

#include <algorithm>

#include "layout.h"
#include "utf16_string.h"

namespace runtrail {

namespace pl = prefetch_layout;
namespace ve = prefetch_layout::volume_entry;

namespace {

constexpr uint64_t align_up(uint64_t value) {
    return (value + pl::k_volume_block_alignment - 1) / pl::k_volume_block_alignment * pl::k_volume_block_alignment;
}

// Bytes of text the volume readers may still scan. In a well-formed file the paths and
// directory lists of the volumes never overlap, so together they span less than the image;
// entries that all point at the same bytes must not multiply the work and memory.
//
// Each stored path or directory is also charged k_entry_charge: a list entry costs a string object
// of about that size whatever its text, so 6-byte directory strings ("A" with its count and
// terminator) must not yield one entry per 6 bytes of image. Real entries are device paths
// ("\DEVICE\HARDDISKVOLUME1\..."), longer than the charge, and the volume section is a small
// part of a real image, so real files never run out.
constexpr uint64_t k_entry_charge = 32;

struct scan_budget {
    uint64_t bytes;
    bool take(uint64_t n) {
        if (n > bytes) return false;
        bytes -= n;
        return true;
    }
};

// The character count of the next directory string, zero words before it skipped; false where the
// image or the budget ends.
bool next_character_count(byte_reader& in, uint64_t& p, scan_budget& budget, uint16_t& chars) {
    do {
        chars = in.u16(p);
        if (!in.ok() || !budget.take(2)) return false;
        p += 2;
    } while (chars == 0);
    return true;
}

// Directory strings: a u16 character count, the characters, a zero unit. The list ends at `count`
// strings or where the image or the budget ends.
void read_directories(byte_span image, uint64_t p, uint64_t count, scan_budget& budget, std::vector<std::string>& dirs) {
    byte_reader in(image);
    const uint64_t length = image.size();
    size_t used = 0;
    uint16_t chars = 0;
    while (p < length && used < count && next_character_count(in, p, budget, chars)) {
        const uint64_t end = p + 2ULL * chars;
        if (end > length || !budget.take(2ULL * chars + 2 + k_entry_charge)) break;
        read_utf16_string(image, p, chars, next_string(dirs, used++));
        p = end + 2;
    }
    trim_strings(dirs, used);
}

}  // namespace

bool read_volumes(byte_span image, const prefetch_header& header, std::vector<volume_record>& volumes) {
    const uint64_t length = image.size();
    const uint64_t base = header.volumes_offset;
    if (base > length) return false;

    const uint64_t entry_size = pl::traits_of(header.version).volume_entry_size;
    // The entry array is followed directly by the first device path, so the first entry's path
    // offset divided by the entry size is the number of entries. A section too short to hold that
    // offset has no volumes.
    byte_reader section(image);
    const auto first_path = static_cast<int32_t>(section.u32(base + ve::device_path_offset));
    const int64_t count = section.ok() ? first_path / static_cast<int64_t>(entry_size) : 0;

    size_t used = 0;
    scan_budget budget{length};
    for (int64_t k = 0; k < count; ++k) {
        byte_reader entry(section.span(base + k * entry_size, ve::fields_end));
        if (!section.ok()) break;  // the entry array runs past the image
        const uint32_t path_offset = entry.u32(ve::device_path_offset);
        uint64_t pos = base + path_offset;
        if (path_offset == 0 || pos > length || !budget.take(k_entry_charge)) break;

        if (used == volumes.size()) volumes.emplace_back();
        volume_record& volume = volumes[used++];
        const utf16_run path =
            read_utf16_string(image, pos, std::min(length - pos, budget.bytes) / 2, volume.device_path);
        const uint64_t path_bytes = 2 * path.units + (path.terminated ? 2 : 0);
        budget.take(path_bytes);
        pos += path_bytes;
        volume.serial = entry.u32(ve::serial);
        volume.created = entry.u64(ve::creation_time);

        // Directory strings follow the device path and the file reference block, each aligned.
        const uint64_t dirs_at = align_up(align_up(pos) + entry.u32(ve::file_references_size));
        read_directories(image, dirs_at, entry.u32(ve::directory_count), budget, volume.directories);
    }
    volumes.resize(used);
    return true;
}

}  // namespace runtrail
