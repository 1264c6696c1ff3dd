// Whole-file reads of input files, and the file-system facts that go with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "file_identity.h"

namespace runtrail {

// What the file system says about a file: its size and its three times as FILETIMEs (to the
// 100 ns, all 64 bits of the seconds kept).
struct file_stats {
    uint64_t size = 0;
    uint64_t modified = 0;
    uint64_t accessed = 0;
    uint64_t changed = 0;  // the inode's last status change
};

// Reads the regular file at `path` (trailing '/' and '\' ignored), at most `cap` bytes of it, into
// buffer[0, length). The buffer only grows, so a run over many files allocates for the largest
// one alone. `stats` are taken from the file that was read, after the read. Fails (length 0) for
// an empty path, a file that cannot be opened, anything but a regular file (directory, device,
// FIFO, socket), an empty file, or a read error. When given, `may_read` is asked, once the file is
// open and known to be a regular file, with its identity and the number of bytes to be read (0 for
// an empty file), before the buffer grows for them; false leaves the file unread.
using read_check = std::function<bool(const file_identity& file, uint64_t bytes)>;
bool read_file(const std::string& path, uint64_t cap, std::vector<uint8_t>& buffer, size_t& length,
               file_stats& stats, const read_check& may_read = {});

// The identity of the file read_file would read for `path` (the same trailing separators ignored);
// nothing when it is not a regular file.
std::optional<file_identity> input_identity(const std::string& path);

}  // namespace runtrail
