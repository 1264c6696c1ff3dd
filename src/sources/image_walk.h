// -image: the prefetch files of every NTFS volume in a disk image, live and deleted.
//
// Each volume is first one notice (its label, offset, file system and whether the folder was
// found); then the files of its \Windows\Prefetch folder whose names end in ".pf", or, with
// -enumdir, every file of the folder given and of its subfolders down to the depth given (each
// folder listed once, so a folder that holds itself ends the descent). Folder names are compared
// without regard to ASCII case, as Windows does.
//
// A file is named IMAGE:pN:/path/in/volume, N counting the partitions of the table in disk order
// (p0 for a volume without a table). Names that NTFS keeps only in index slack, and MFT entries no
// longer in use that still name the folder as their parent, are delivered as deleted files; a
// stale copy of a name whose entry the folder also lists as in use is not delivered twice. An image
// that holds no NTFS volume at all ends with a problem, as a walk root that cannot be listed does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "disk_image.h"
#include "name_source.h"

namespace runtrail {

class image_walk final : public name_source {
public:
    // The folder read in each volume without -enumdir.
    static constexpr const char* k_prefetch_folder = "/Windows/Prefetch";

    // `image_name` is how the image is named in messages and file names; `folder` uses '/' or
    // '\'. An image that could not be opened (`image` empty) ends at once with `open_problem`.
    image_walk(std::unique_ptr<disk_image> image, std::string image_name, std::string open_problem,
               std::string folder, uint32_t max_depth, bool prefetch_files_only);

    bool next(std::string& name) override;
    const std::string* current_directory() const override { return &current_directory_; }
    const held_file* held() const override { return &current_; }
    bool read_held(const held_file& file, uint64_t cap, std::vector<uint8_t>& buffer, size_t& length) const override;

private:
    struct pending_folder {
        uint64_t entry;
        std::string path;  // IMAGE:pN:/path, without a trailing '/'
        uint32_t depth;
    };

    // The volume's notice, and its start folder queued when there is one.
    void start_volume(size_t volume);
    // The entry of the start folder in `volume`, with its path as the volume spells it.
    bool find_folder(size_t volume, uint64_t& entry, std::string& path) const;
    bool list_folder(const pending_folder& folder);

    std::unique_ptr<disk_image> image_;
    std::string image_name_;
    std::vector<std::string> components_;  // of the start folder
    uint32_t max_depth_;
    bool prefetch_files_only_;
    size_t next_volume_ = 0;
    size_t volume_ = 0;

    std::vector<held_file> pending_files_;  // last to be delivered first
    std::vector<pending_folder> pending_folders_;
    std::unordered_set<uint64_t> listed_;  // folders of the current volume already listed
    std::vector<image_entry> listing_;     // kept from folder to folder for its memory
    held_file current_;
    std::string current_directory_;
};

}  // namespace runtrail
