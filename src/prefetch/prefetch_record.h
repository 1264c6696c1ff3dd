// What a prefetch file says about its program, as one value: the parser fills it, the report
// writers read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace runtrail {

struct volume_record {
    std::string device_path;               // "\DEVICE\HARDDISKVOLUME2", "\VOLUME{...}"
    uint32_t serial = 0;
    uint64_t created = 0;                  // FILETIME
    std::vector<std::string> directories;  // in file order
};

// Whether the program's path, hashed as Windows hashes it for this version, gives the header's hash.
enum class path_hash_outcome {
    no_path,  // no module's file name is the executable's name
    no_rule,  // a version whose hash rule is not known
    matches,
    differs,
};

struct path_hash_check {
    path_hash_outcome outcome = path_hash_outcome::no_path;
    // For a "\VOLUME{...}" path that matches: the "\DEVICE\HARDDISKVOLUMEn" that gave the hash.
    std::string device_path;
};

// An NTFS file reference as Windows stores it: the MFT entry in the low 48 bits, the entry's
// sequence number in the high 16. The sequence number grows each time the entry is reused, so a
// reference names one file even after it is deleted. 0 is no reference.
struct ntfs_file_reference {
    static constexpr unsigned k_sequence_shift = 48;
    uint64_t value = 0;

    uint64_t mft_entry() const { return value & ((uint64_t{1} << k_sequence_shift) - 1); }
    uint16_t sequence() const { return static_cast<uint16_t>(value >> k_sequence_shift); }
    bool operator==(const ntfs_file_reference&) const = default;
};

struct prefetch_record {
    uint32_t version = 0;        // the image's format version field (17, 23, 26, 30, 31, ...)
    uint32_t prefetch_hash = 0;  // the header's hash of the program's path
    std::string exe_name;        // the header's executable name (at most 30 characters)
    uint32_t run_count = 0;      // 0 when the file information cannot be read
    uint64_t last_run = 0;       // FILETIME; 0 when the file information cannot be read
    std::vector<uint64_t> earlier_runs;  // FILETIMEs, ascending, each once (versions 26 and later)
    std::vector<std::string> modules;    // the filename strings, in file order
    // The file reference of each module (same index), from the metrics entry that names it; 0 where
    // the version stores none or no entry names the module.
    std::vector<ntfs_file_reference> module_references;
    std::string target_path;             // the module that holds the executable's name, or "unk"
    std::vector<volume_record> volumes;
    path_hash_check path_check;  // the program's own path against prefetch_hash
};

// "WinXP Prefetch", "Vista/Win7 Prefetch", "Win8 Prefetch", "Win10 Prefetch", "Win11 Prefetch", or
// "Prefetch" for any other version.
const char* version_label(uint32_t version);

}  // namespace runtrail
