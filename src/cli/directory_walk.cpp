#include "directory_walk.h"

#include "directory_listing.h"

namespace runtrail {

directory_walk::directory_walk(std::string root, uint32_t max_depth) : root_(std::move(root)), max_depth_(max_depth) {
    strip_long_prefix(root_);
}

void directory_walk::expand_root() {
    root_pending_ = false;
    if (root_.empty()) return;
    std::string parent = root_;
    std::string last_pattern;
    if (parent.back() != k_path_separator) {
        const size_t sep = parent.rfind(k_path_separator);
        const std::string last = sep == std::string::npos ? parent : parent.substr(sep + 1);
        if (last.find('*') != std::string::npos && last != "*") {
            last_pattern = last;
            parent.erase(sep == std::string::npos ? 0 : sep + 1);
            if (parent.empty()) parent = "./";
        } else {
            parent.push_back(k_path_separator);
        }
    }
    const std::vector<std::string> roots = expand_star_dirs(parent);
    if (last_pattern.empty()) {
        for (const auto& dir : roots) pending_dirs_.emplace_back(dir, 0);
        return;
    }
    std::string full;
    std::string_view name;
    bool is_dir = false;
    for (const auto& dir : roots) {
        directory_reader reader;
        if (!reader.open(dir)) continue;
        current_directory_ = dir;
        while (reader.next(full, name, is_dir)) {
            if (!glob_match(last_pattern, name)) continue;
            if (is_dir)
                pending_dirs_.emplace_back(full + k_path_separator, 0);
            else
                pending_files_.push_back(full);
        }
    }
}

void directory_walk::list_directory(const std::string& directory, uint32_t depth) {
    directory_reader reader;
    if (!reader.open(directory)) return;  // missing, unreadable or not a directory: skipped quietly
    current_directory_ = directory;
    std::string full;
    std::string_view name;
    bool is_dir = false;
    while (reader.next(full, name, is_dir)) {
        if (is_dir) {
            // Directories beyond the depth limit would only be dropped when popped: never keep them.
            if (depth < max_depth_) pending_dirs_.emplace_back(full + k_path_separator, depth + 1);
        } else {
            strip_long_prefix(full);
            pending_files_.push_back(full);
        }
    }
}

bool directory_walk::next(std::string& name) {
    for (;;) {
        if (!pending_files_.empty()) {
            name = std::move(pending_files_.back());
            pending_files_.pop_back();
            return true;
        }
        if (root_pending_) {
            expand_root();
            continue;
        }
        if (pending_dirs_.empty()) {
            name.clear();
            return false;
        }
        auto [directory, depth] = std::move(pending_dirs_.back());
        pending_dirs_.pop_back();
        strip_long_prefix(directory);
        list_directory(directory, depth);
    }
}

}  // namespace runtrail
