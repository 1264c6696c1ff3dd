// Names from standard input, one per line, or from a depth-first directory walk.
//
// Walk order: the root is depth 0. Listing a directory pushes its accepted files on one stack and
// its subdirectories on another; files are delivered first (last listed first), then the most
// recently pushed directory is listed. So every file of a directory comes out before anything
// below it, subdirectories are walked last listed first, and the walk holds one listing plus the
// two stacks. Symbolic links are never followed, so the walk cannot loop.
#include "name_source.h"

#include <cstring>

#include "directory_listing.h"

namespace qnportdir {

stdin_stream_ex::stdin_stream_ex(std::FILE* input) : input_(input), buffer_(k_line_buffer_size) { reset_walk(); }

stdin_stream_ex::~stdin_stream_ex() = default;

void stdin_stream_ex::reset_walk() {
    pending_dirs_.clear();
    pending_files_.clear();
    root_.clear();
    root_pending_ = false;
    max_depth_ = 1;
    filters_.clear();
    walk_mode_ = false;
    current_directory_.clear();
}

bool stdin_stream_ex::open_stdin() {
    reset_walk();
    return input_ != nullptr;
}

bool stdin_stream_ex::open_walk(const std::string& directory, uint32_t max_depth,
                                const std::vector<filter_entry>& filters) {
    if (directory.empty()) return false;
    reset_walk();
    max_depth_ = max_depth;
    filters_ = filters;
    root_ = directory;
    strip_long_prefix(root_);
    root_pending_ = true;
    walk_mode_ = true;
    return true;
}

bool stdin_stream_ex::next_name(std::string& name, bool strip) {
    return walk_mode_ ? next_walk_name(name) : read_line(name, strip);
}

bool stdin_stream_ex::read_line(std::string& line, bool strip) {
    line.clear();
    if (!input_) return false;
    // fgets does not tell how many bytes it stored. Every byte is preset to non-zero, so the last
    // zero byte is its terminator even when the line itself holds zero bytes.
    std::memset(buffer_.data(), 1, buffer_.size());
    if (!std::fgets(buffer_.data(), static_cast<int>(buffer_.size()), input_)) return false;
    const void* end = memrchr(buffer_.data(), 0, buffer_.size());
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - buffer_.data());
    // A line holding a zero byte cannot name a file, and opening it by its text would open the
    // part before the zero instead: it is delivered as an empty name, which the caller skips.
    if (std::memchr(buffer_.data(), 0, length) != nullptr) return true;
    line.assign(buffer_.data(), length);
    if (strip) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    }
    return true;
}

// The -enumdir value may hold '*'. In the directory part each starred component is matched against
// the subdirectories found there ("/mnt/*/Prefetch": every Prefetch one level below /mnt). A starred
// last component without a closing separator ("/data/*.pf", "/data/pf*") means the entries of its
// parent whose names match, as a shell would expand it: matching files are delivered, matching
// directories become walk roots. A lone "*" as last component stays "every subdirectory".
void stdin_stream_ex::expand_root() {
    root_pending_ = false;
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
            if (is_dir) {
                pending_dirs_.emplace_back(full + k_path_separator, 0);
            } else if (filter_match(full, filters_)) {
                pending_files_.push_back(full);
            }
        }
    }
}

void stdin_stream_ex::list_pending_directory(const std::string& directory, uint32_t depth) {
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
        } else if (filter_match(full, filters_)) {
            strip_long_prefix(full);
            pending_files_.push_back(full);
        }
    }
}

bool stdin_stream_ex::next_walk_name(std::string& name) {
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
        if (depth > max_depth_) continue;
        strip_long_prefix(directory);
        list_pending_directory(directory, depth);
    }
}

}  // namespace qnportdir
