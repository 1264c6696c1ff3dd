// One level of one directory, read with opendir/readdir and typed without following symbolic
// links; the star patterns -enumdir accepts; the Windows extended-length prefix.
#pragma once

#include <dirent.h>

#include <string>
#include <string_view>
#include <vector>

namespace runtrail {

constexpr char k_path_separator = '/';

// Streams the entries of one directory, skipping "." and "..". An entry is a directory only when it
// is one itself: a symbolic link to a directory is not. When the type cannot be learned (lstat
// fails) the entry counts as a file, which the per-file step then fails to read.
class directory_reader {
public:
    directory_reader() = default;
    directory_reader(const directory_reader&) = delete;
    directory_reader& operator=(const directory_reader&) = delete;
    ~directory_reader() { close(); }

    // `directory` ends with the separator; entry paths are built by appending names to it.
    bool open(const std::string& directory);
    // The next entry: full path (directory + name), name, and whether it is a directory.
    bool next(std::string& full_path, std::string_view& name, bool& is_directory);
    // open() failed because there is no such directory (nothing, or not a directory, by that name).
    bool missing() const { return missing_; }
    // The listing ended on a read error rather than at its end.
    bool failed() const { return failed_; }
    void close();

private:
    DIR* dir_ = nullptr;
    std::string directory_;
    bool missing_ = false;
    bool failed_ = false;
};

// Shell-style match where '*' stands for any run of characters (also none); everything else is
// literal and case-sensitive, as Linux names are.
bool glob_match(std::string_view pattern, std::string_view name);

// Expands every path component holding '*' against the subdirectories found there (a lone "*"
// matches every subdirectory). `directory` ends with the separator; so do the results, in listing
// order. Components that match no directory drop the path, and so do parents that are missing
// or cannot be opened; those that cannot be opened are added to `unlisted`.
std::vector<std::string> expand_star_dirs(const std::string& directory, std::vector<std::string>& unlisted);

// Removes the Windows extended-length prefix \\?\ unless it introduces a \\?\GLOBALROOT device path.
void strip_long_prefix(std::string& name);

}  // namespace runtrail
