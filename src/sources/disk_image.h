// A disk image opened read-only through sleuthkit's library: raw (single or split), EnCase E01
// and its segments, VMDK and VHD. The volumes are found once at opening (an MBR or GPT partition
// table, or a bare volume), NTFS volumes are opened, and their directories and files read by MFT
// entry. No sleuthkit type leaves this file pair.
//
// The library is not made to be used from several threads on one image: every call here holds
// the image's lock, so a directory can be listed on one thread while files are read on others.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace runtrail {

struct image_volume {
    std::string label;        // "p1", "p2" … in disk order; "p0" for a volume without partition table
    uint64_t offset = 0;      // bytes from the start of the image
    std::string file_system;  // the library's name for it ("ntfs", "fat16"); empty when none was found
    std::string encryption;   // "BitLocker" when its first sector says so; empty otherwise
    bool ntfs = false;        // opened, and its files can be listed and read
};

// One entry of a directory as NTFS keeps it: the name's state in its index and the MFT entry's own.
struct image_entry {
    std::string name;  // UTF-8
    uint64_t entry = 0;
    bool directory = false;
    bool name_unallocated = false;   // found in index slack or by the library's search of free MFT entries
    bool entry_unallocated = false;  // the MFT entry itself is no longer in use
    bool entry_reused = false;       // the entry now holds another file than the one this name meant
    uint64_t size = 0;               // the $DATA size the entry declares (never trusted for a read)
    // $STANDARD_INFORMATION's times as FILETIMEs; 0 when the entry holds none.
    uint64_t modified = 0, accessed = 0, changed = 0, created = 0;
};

class disk_image {
public:
    // Nothing, with `problem` saying why, when the image cannot be opened.
    static std::unique_ptr<disk_image> open_file(const std::string& path, std::string& problem);
    // The image held in memory (the caller keeps `data` alive as long as the image).
    static std::unique_ptr<disk_image> open_memory(const uint8_t* data, size_t size, std::string& problem);
    ~disk_image();
    disk_image(const disk_image&) = delete;
    disk_image& operator=(const disk_image&) = delete;

    const std::vector<image_volume>& volumes() const { return volumes_; }

    // The MFT entry of an NTFS volume's root folder.
    uint64_t root_entry(size_t volume) const;
    // The entries of the folder at `entry`, "." and ".." and the library's virtual entries left
    // out; false when it cannot be listed.
    bool list(size_t volume, uint64_t entry, std::vector<image_entry>& entries) const;
    // At most `cap` bytes of the unnamed $DATA of the file at `entry` into buffer[0, length); the
    // buffer only grows. False when the entry holds no data or the read fails.
    bool read(size_t volume, uint64_t entry, uint64_t cap, std::vector<uint8_t>& buffer, size_t& length) const;

private:
    struct handles;
    explicit disk_image(std::unique_ptr<handles> h);
    void find_volumes();

    std::unique_ptr<handles> handles_;
    std::vector<image_volume> volumes_;
};

}  // namespace runtrail
