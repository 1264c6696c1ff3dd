// Which file a descriptor or path stands for: its device and inode. Two names of one regular file
// (a link, "./x" and "x", /dev/stdout redirected to it) have one identity.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace runtrail {

struct file_identity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const file_identity&) const = default;
};

// The identity of the regular file open on `fd`; nothing for anything else (a pipe, a terminal,
// /dev/null), which cannot be written over.
std::optional<file_identity> regular_file_identity(int fd);

// The identity of the regular file at `path`, symbolic links followed; nothing when there is none.
std::optional<file_identity> regular_file_identity(const std::string& path);

}  // namespace runtrail
