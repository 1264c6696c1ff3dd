#include "directory_listing.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "ascii_text.h"

namespace runtrail {
namespace {

constexpr std::string_view k_long_prefix = "\\\\?\\";
constexpr std::string_view k_global_root = "global";
// A \\?\GLOBALROOT\Device\... path is never shortened; shorter names cannot be one.
constexpr size_t k_min_global_root_length = 47;

bool is_dot_entry(const char* name) { return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')); }

bool has_long_prefix(std::string_view name) {
    return name.size() > k_long_prefix.size() && name.substr(0, k_long_prefix.size()) == k_long_prefix;
}

}  // namespace

bool directory_reader::open(const std::string& directory) {
    close();
    failed_ = false;
    dir_ = ::opendir(directory.c_str());
    missing_ = !dir_ && (errno == ENOENT || errno == ENOTDIR);
    if (!dir_) return false;
    directory_ = directory;
    return true;
}

void directory_reader::close() {
    if (dir_) ::closedir(dir_);
    dir_ = nullptr;
}

bool directory_reader::next(std::string& full_path, std::string_view& name, bool& is_directory) {
    if (!dir_) return false;
    errno = 0;  // readdir tells its end from an error only through errno
    while (const dirent* entry = ::readdir(dir_)) {
        if (is_dot_entry(entry->d_name)) continue;
        full_path.assign(directory_);
        const size_t name_start = full_path.size();
        full_path.append(entry->d_name);
        name = std::string_view(full_path).substr(name_start);
        // d_type, where the file system fills it, is the entry's own type, as lstat would say.
        if (entry->d_type == DT_DIR) {
            is_directory = true;
        } else if (entry->d_type != DT_UNKNOWN) {
            is_directory = false;
        } else {
            struct stat st;
            is_directory = ::lstat(full_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        return true;
    }
    failed_ = errno != 0;
    close();
    return false;
}

bool glob_match(std::string_view pattern, std::string_view name) {
    // Greedy match with one backtracking point: linear in practice, never recursive.
    size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p, ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> expand_star_dirs(const std::string& directory, std::vector<std::string>& unlisted) {
    std::vector<std::string> done;
    if (directory.find('*') == std::string::npos) {
        done.push_back(directory);
        return done;
    }
    // Component by component; `prefixes` are the directories reached so far, each ending with '/'.
    std::vector<std::string> prefixes{""};
    size_t start = 0;
    while (start < directory.size()) {
        size_t end = directory.find(k_path_separator, start);
        if (end == std::string::npos) end = directory.size();
        const std::string_view component = std::string_view(directory).substr(start, end - start);
        const bool last = end >= directory.size();
        std::vector<std::string> next;
        if (component.find('*') == std::string_view::npos) {
            next = std::move(prefixes);
            for (auto& p : next) {
                p.append(component);
                if (!last) p.push_back(k_path_separator);
            }
        } else {
            std::string full;
            std::string_view name;
            bool is_dir = false;
            for (const auto& p : prefixes) {
                directory_reader reader;
                const std::string parent = p.empty() ? std::string("./") : p;
                if (!reader.open(parent)) {
                    if (!reader.missing()) unlisted.push_back(parent);
                    continue;
                }
                while (reader.next(full, name, is_dir)) {
                    if (!is_dir || !glob_match(component, name)) continue;
                    next.push_back(p + std::string(name) + k_path_separator);
                }
            }
        }
        prefixes = std::move(next);
        if (prefixes.empty()) break;
        start = end + 1;
    }
    return prefixes;
}

void strip_long_prefix(std::string& name) {
    if (!has_long_prefix(name)) return;
    if (name.size() >= k_min_global_root_length) {
        if (lower_ascii(std::string_view(name).substr(k_long_prefix.size(), k_global_root.size())) == k_global_root)
            return;
    }
    name.erase(0, k_long_prefix.size());
}

}  // namespace runtrail
