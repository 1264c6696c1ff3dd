#include "image_walk.h"

#include <algorithm>
#include <unordered_map>

#include "ascii_text.h"

namespace runtrail {
namespace {

constexpr const char* k_prefetch_extension = ".pf";

std::vector<std::string> components_of(std::string folder) {
    std::replace(folder.begin(), folder.end(), '\\', '/');
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = folder.find('/', start);
        if (end == std::string::npos) end = folder.size();
        if (end > start) parts.push_back(folder.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string upper_ascii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool ends_with_ignore_case(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() && equals_ignore_case(std::string_view(text).substr(text.size() - tail.size()), tail);
}

// A name that NTFS keeps only in its index slack often repeats one the folder still lists: the
// same entry under an allocated name is the file, and of several stale copies one is enough.
void drop_stale_copies(std::vector<image_entry>& entries) {
    std::unordered_map<uint64_t, bool> allocated_name;  // entry number: listed under an allocated name
    for (const image_entry& e : entries) allocated_name[e.entry] |= !e.name_unallocated;
    std::unordered_map<uint64_t, std::vector<std::string>> kept_stale;
    std::erase_if(entries, [&](const image_entry& e) {
        if (!e.name_unallocated) return false;
        if (allocated_name[e.entry] && !e.entry_reused) return true;
        std::vector<std::string>& names = kept_stale[e.entry];
        if (std::find(names.begin(), names.end(), e.name) != names.end()) return true;
        names.push_back(e.name);
        return false;
    });
}

}  // namespace

image_walk::image_walk(std::unique_ptr<disk_image> image, std::string image_name, std::string open_problem,
                       std::string folder, uint32_t max_depth, bool prefetch_files_only)
    : image_(std::move(image)), image_name_(std::move(image_name)), components_(components_of(std::move(folder))),
      max_depth_(max_depth), prefetch_files_only_(prefetch_files_only) {
    if (!image_) problem_ = "prob opening image " + image_name_ + ": " + open_problem;
}

bool image_walk::find_folder(size_t volume, uint64_t& entry, std::string& path) const {
    entry = image_->root_entry(volume);
    std::vector<image_entry> listing;
    for (const std::string& wanted : components_) {
        if (!image_->list(volume, entry, listing)) return false;
        const image_entry* found = nullptr;
        for (const image_entry& e : listing) {
            if (!e.directory || !equals_ignore_case(e.name, wanted)) continue;
            // A live folder before a deleted one of the same name.
            if (!found || (found->name_unallocated && !e.name_unallocated)) found = &e;
        }
        if (!found) return false;
        entry = found->entry;
        path += "/" + found->name;
    }
    return true;
}

void image_walk::start_volume(size_t volume) {
    volume_ = volume;
    listed_.clear();
    const image_volume& v = image_->volumes()[volume];
    const std::string label = image_name_ + ":" + v.label;
    notice_ = "volume " + label + " at offset " + std::to_string(v.offset) + ": ";
    if (!v.ntfs) {
        if (!v.encryption.empty())
            notice_ += "encrypted (" + v.encryption + "), passed over";
        else if (v.file_system.empty())
            notice_ += "no file system found, passed over";
        else
            notice_ += upper_ascii(v.file_system) + ", not NTFS, passed over";
        return;
    }
    notice_ += "NTFS, ";
    uint64_t entry = 0;
    std::string path;
    const bool found = find_folder(volume, entry, path);
    const std::string folder = path.empty() ? "/" : path;
    if (prefetch_files_only_)
        notice_ += found ? "Prefetch folder " + folder + " found" : "no Prefetch folder";
    else
        notice_ += found ? "folder " + folder + " found" : "no folder " + folder;
    if (found) pending_folders_.push_back({entry, label + ":" + path, 0});
}

bool image_walk::list_folder(const pending_folder& folder) {
    if (!listed_.insert(folder.entry).second) return true;  // a folder reached twice (a loop) is listed once
    if (!image_->list(volume_, folder.entry, listing_)) return false;
    current_directory_ = folder.path + "/";
    drop_stale_copies(listing_);
    // Files first, then subfolders, each in the folder's own order: the stacks are filled last first.
    for (auto e = listing_.rbegin(); e != listing_.rend(); ++e) {
        if (e->directory) {
            if (folder.depth < max_depth_ && !e->name_unallocated && !e->entry_unallocated)
                pending_folders_.push_back({e->entry, folder.path + "/" + e->name, folder.depth + 1});
            continue;
        }
        if (prefetch_files_only_ && !ends_with_ignore_case(e->name, k_prefetch_extension)) continue;
        held_file file;
        file.volume = static_cast<uint32_t>(volume_);
        file.entry_reused = e->entry_reused;
        file_facts& f = file.facts;
        f.path = folder.path + "/" + e->name;
        f.name = e->name;
        f.size = e->size;
        f.modified = e->modified;
        f.accessed = e->accessed;
        f.changed = e->changed;
        f.from_image = true;
        f.created = e->created;
        f.mft_entry = e->entry;
        f.deleted = e->name_unallocated || e->entry_unallocated;
        pending_files_.push_back(std::move(file));
    }
    return true;
}

bool image_walk::next(std::string& name) {
    name.clear();
    notice_.clear();
    if (!image_) return false;  // problem_ says why, from the start
    problem_.clear();
    for (;;) {
        if (!pending_files_.empty()) {
            current_ = std::move(pending_files_.back());
            pending_files_.pop_back();
            name = current_.facts.path;
            return true;
        }
        if (!pending_folders_.empty()) {
            const pending_folder folder = std::move(pending_folders_.back());
            pending_folders_.pop_back();
            if (!list_folder(folder)) {
                problem_ = "prob reading directory " + folder.path + "/";
                return true;
            }
            continue;
        }
        if (next_volume_ < image_->volumes().size()) {
            start_volume(next_volume_++);
            return true;
        }
        // An image without one NTFS volume (a damaged or truncated one reads as such) fails the run.
        const auto& volumes = image_->volumes();
        if (std::none_of(volumes.begin(), volumes.end(), [](const image_volume& v) { return v.ntfs; }))
            problem_ = "prob reading image " + image_name_ + ": no NTFS volume found";
        return false;
    }
}

bool image_walk::read_held(const held_file& file, uint64_t cap, std::vector<uint8_t>& buffer, size_t& length) const {
    length = 0;
    if (!image_ || file.entry_reused) return false;
    return image_->read(file.volume, file.facts.mft_entry, cap, buffer, length);
}

}  // namespace runtrail
