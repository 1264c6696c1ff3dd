#include "directory_walk.h"

#include "directory_listing.h"

namespace runtrail {
namespace {

constexpr const char* k_unlisted_message = "prob reading directory ";

}  // namespace

directory_walk::directory_walk(std::string root, uint32_t max_depth) : root_(std::move(root)), max_depth_(max_depth) {
    strip_long_prefix(root_);
}

bool directory_walk::expand_root() {
    root_pending_ = false;
    if (root_.empty()) return false;
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
    // Every root is opened now: a run over a root that cannot be listed fails before it starts.
    bool listed = false;
    std::string full;
    std::string_view name;
    bool is_dir = false;
    for (const auto& dir : expand_star_dirs(parent, unlisted_dirs_)) {
        directory_reader reader;
        if (!reader.open(dir)) {
            // Below a star, a match need not hold the rest of the pattern ("Prefetch" in /mnt/*/Prefetch).
            if (!reader.missing()) unlisted_dirs_.push_back(dir);
            continue;
        }
        listed = true;
        if (last_pattern.empty()) {
            pending_dirs_.emplace_back(dir, 0);
            continue;
        }
        current_directory_ = dir;
        while (reader.next(full, name, is_dir)) {
            if (!glob_match(last_pattern, name)) continue;
            if (is_dir)
                pending_dirs_.emplace_back(full + k_path_separator, 0);
            else
                pending_files_.push_back(full);
        }
        if (reader.failed()) unlisted_dirs_.push_back(dir);
    }
    return listed;
}

bool directory_walk::list_directory(const std::string& directory, uint32_t depth) {
    directory_reader reader;
    if (!reader.open(directory)) return false;  // missing, unreadable, a path too long, not a directory
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
    return !reader.failed();
}

bool directory_walk::next(std::string& name) {
    name.clear();
    problem_.clear();
    for (;;) {
        if (!unlisted_dirs_.empty()) {
            problem_ = k_unlisted_message + unlisted_dirs_.back();
            unlisted_dirs_.pop_back();
            return true;
        }
        if (!pending_files_.empty()) {
            name = std::move(pending_files_.back());
            pending_files_.pop_back();
            return true;
        }
        if (root_pending_) {
            if (!expand_root()) {
                unlisted_dirs_.clear();  // the one message is the root's
                pending_files_.clear();
                problem_ = k_unlisted_message + root_;
                return false;
            }
            continue;
        }
        if (pending_dirs_.empty()) return false;
        auto [directory, depth] = std::move(pending_dirs_.back());
        pending_dirs_.pop_back();
        strip_long_prefix(directory);
        if (!list_directory(directory, depth)) unlisted_dirs_.push_back(directory);
    }
}

}  // namespace runtrail
