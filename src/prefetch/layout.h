// On-disk layout of a prefetch image ("SCCA" file), per format version, as data.
// All values are little-endian; offsets count from the start of the (decompressed) image.
// The readers (header.cpp, run_information.cpp, filename_strings.cpp, file_metrics.cpp,
// volume_info.cpp) take every offset from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runtrail::prefetch_layout {

// ---- File header (common to every version) ----
namespace header {
constexpr uint32_t version = 0x00;                  // u32: 17, 23, 26, 30, 31, ...
constexpr uint32_t signature = 0x04;                // u32: "SCCA"
constexpr uint32_t file_size = 0x0C;                // u32: size recorded by Windows
constexpr uint32_t exe_name = 0x10;                 // UTF-16LE, zero-terminated or full width
constexpr uint32_t exe_name_units = 30;             // width of the name field in code units
constexpr uint32_t prefetch_hash = 0x4C;            // u32: the hash in the file name's last 8 digits
constexpr uint32_t metrics_offset = 0x54;           // u32: start of the metrics array
constexpr uint32_t metrics_count = 0x58;            // u32: metrics entries = filename strings
constexpr uint32_t filename_strings_offset = 0x64;  // u32
constexpr uint32_t filename_strings_size = 0x68;    // u32: byte size of the strings block
constexpr uint32_t volumes_offset = 0x6C;           // u32: volume information section
}  // namespace header

// Windows writes at most this many characters of a longer executable name into the name field.
constexpr long k_cut_exe_name_characters = 29;

constexpr uint32_t k_signature_scca = 0x41434353;  // "SCCA" read as a little-endian u32
// Smallest image accepted: the header and the file information of every version fit in it.
constexpr size_t k_min_image_size = 228;
// The header's own file size must exceed this before the file information is trusted.
constexpr uint32_t k_min_recorded_file_size = 227;

// ---- Metrics array ----
// One entry per loaded file, in the order of the filename strings: timings, where the file's name
// lies in the filename strings block, and from version 23 on the file's 64-bit NTFS file
// reference (see ntfs_file_reference).
constexpr uint32_t k_no_file_reference = 0xFFFFFFFF;  // file_reference of a version without one

struct metrics_entry_layout {
    uint32_t version;
    uint32_t size;             // bytes per entry
    uint32_t filename_offset;  // u32: bytes from the start of the filename strings block
    uint32_t file_reference;   // u64, or k_no_file_reference
};

constexpr metrics_entry_layout k_metrics_entry_layouts[] = {
    {17, 20, 0x08, k_no_file_reference},
    {23, 32, 0x0C, 0x18},
    {26, 32, 0x0C, 0x18},
    {30, 32, 0x0C, 0x18},
    {31, 32, 0x0C, 0x18},
};

// The entry layout of a version; nullptr for a version whose entries are not known.
constexpr const metrics_entry_layout* metrics_entry_layout_of(uint32_t version) {
    for (const metrics_entry_layout& l : k_metrics_entry_layouts)
        if (l.version == version) return &l;
    return nullptr;
}

// The smallest entry of any version: the entry count can never exceed the image size over this,
// which caps the number of filename strings read.
constexpr uint64_t k_min_metrics_entry_size = 20;
static_assert(k_metrics_entry_layouts[0].size == k_min_metrics_entry_size);

// ---- File information: run count and run times ----
// Versions 26 and later keep eight run-time slots (FILETIME); slot 1 is normally the latest,
// but Windows does not guarantee the order, so the last run time is the largest slot.
namespace run_time_slots {
constexpr uint32_t first = 0x80;
constexpr uint32_t count = 8;
constexpr uint32_t stride = 8;
}  // namespace run_time_slots

constexpr uint32_t k_any_metrics_offset = 0;

struct file_information_layout {
    uint32_t version;
    uint32_t metrics_offset;  // k_any_metrics_offset, or the value that selects this variant
    uint32_t last_run_time;   // offset of the single FILETIME (when !run_time_slots)
    bool run_time_slots;      // last run time = largest of the eight slots
    uint32_t run_count;       // offset of the u32 run count
};

// Version 30 (Windows 10) and 31 (Windows 11) come in two variants told apart by where the
// metrics array starts: at 0x130 the file information is eight bytes longer than at 0x128.
constexpr file_information_layout k_file_information_layouts[] = {
    {17, k_any_metrics_offset, 0x78, false, 0x90},
    {23, k_any_metrics_offset, 0x80, false, 0x98},
    {26, k_any_metrics_offset, 0x80, true, 0xD0},
    {30, 0x130, 0x80, true, 0xD0},
    {30, 0x128, 0x80, true, 0xC8},
    {31, 0x130, 0x80, true, 0xD0},
    {31, 0x128, 0x80, true, 0xC8},
};

// ---- Per-version traits ----
// How Windows turned the program's path into the header's hash (and the file name's digits).
enum class path_hash_rule { unknown, xp, vista };

struct version_traits {
    uint32_t version;
    const char* label;
    uint32_t volume_entry_size;
    bool earlier_run_times;  // has the eight run-time slots
    path_hash_rule hash_rule;
};

constexpr version_traits k_versions[] = {
    {17, "WinXP Prefetch", 40, false, path_hash_rule::xp},
    {23, "Vista/Win7 Prefetch", 104, false, path_hash_rule::vista},
    {26, "Win8 Prefetch", 104, true, path_hash_rule::vista},
    {30, "Win10 Prefetch", 96, true, path_hash_rule::vista},
    {31, "Win11 Prefetch", 96, true, path_hash_rule::vista},
};
// Any other version: no run count or run times, the version-17 volume entry size, and no known
// hash rule.
constexpr version_traits k_unknown_version = {0, "Prefetch", 40, false, path_hash_rule::unknown};

constexpr const version_traits& traits_of(uint32_t version) {
    for (const version_traits& t : k_versions)
        if (t.version == version) return t;
    return k_unknown_version;
}

// ---- Volume information ----
// The section starts with an array of fixed-size entries (size from version_traits); device
// paths, file reference blocks and directory strings follow it.
namespace volume_entry {
constexpr uint32_t device_path_offset = 0x00;  // u32, relative to the section start
constexpr uint32_t creation_time = 0x08;       // FILETIME
constexpr uint32_t serial = 0x10;              // u32
constexpr uint32_t file_references_size = 0x18;  // u32: bytes of file references after the path
constexpr uint32_t directory_count = 0x20;     // u32
constexpr uint32_t fields_end = 0x24;          // bytes of an entry that are read
}  // namespace volume_entry

// The file reference block and the directory strings each start on this boundary (counted
// from the image start).
constexpr uint64_t k_volume_block_alignment = 8;

}  // namespace runtrail::prefetch_layout
