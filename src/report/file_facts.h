// The prefetch file as the file system shows it: where it was read from and its own size and
// times (not those recorded inside it).
#pragma once

#include <cstdint>
#include <string>

namespace runtrail {

struct file_facts {
    std::string path;  // as it was opened
    std::string name;  // the last component of the path
    uint64_t size = 0;
    uint64_t modified = 0;  // FILETIMEs
    uint64_t accessed = 0;
    uint64_t changed = 0;

    // A file read from an NTFS volume inside a disk image carries what only the image holds.
    bool from_image = false;
    uint64_t created = 0;    // FILETIME of $STANDARD_INFORMATION's creation time; 0 outside an image
    uint64_t mft_entry = 0;  // the file's MFT entry number
    bool deleted = false;    // the MFT entry (or the name in its directory) is no longer allocated
};

// The name shown for a path: the text after its last '\' (or, without any, its last '/'); "."
// for ".."; the whole path when there is no separator or it stands first.
std::string file_name_of(const std::string& path);

}  // namespace runtrail
