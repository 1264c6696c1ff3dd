// The file object every file access of runtrail goes through (POSIX descriptors, 64-bit
// offsets), whole-file reads with a cap, and file-system statistics as FILETIME values.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace uni {

class fileio {
public:
    fileio() = default;
    // Opens read-only at construction.
    explicit fileio(const std::string& path);
    virtual ~fileio();
    fileio(const fileio&) = delete;
    fileio& operator=(const fileio&) = delete;

    // Opens a file; writable files are opened read-write (created and truncated when
    // `truncate` is set). FIFOs and sockets are refused, so an open never blocks on them.
    // Trailing '/' and '\' are dropped from the path.
    bool open(const std::u32string& path, bool writable, bool open_option = false, bool truncate = false);
    // The same with the path as bytes; the bytes go to the file system unchanged, so a name
    // that is not valid UTF-8 still opens.
    bool open(const std::string& path, bool writable, bool open_option = false, bool truncate = false);
    // Memory mode: every operation works on an in-memory buffer that starts as `data`.
    void open_memory(std::vector<uint8_t> data = {});

    bool is_open() const;
    // Current size (the end offset); 0 when it cannot be found.
    uint64_t size();
    uint64_t cached_size() const { return file_size_; }
    // Reads up to `count` bytes at `offset`; the buffer's length is what arrived. Fails when
    // not open, at or past the end, or on a read error.
    bool read_at(std::vector<uint8_t>& buffer, uint64_t count, uint64_t offset);
    // The same into `destination`, which has room for `count` bytes; `got` receives the number of
    // bytes that arrived (less than asked at the end of the file).
    bool read_at(uint8_t* destination, uint64_t count, uint64_t offset, uint64_t& got);
    // Writes the whole block at the end of the file; false unless every byte was written.
    bool append(const void* data, uint64_t length);
    // Flushes and deletes the attached stream, then closes. False when the stream could not
    // write everything it was given.
    bool close();

    int descriptor() const { return fd_; }
    // The open file is a regular file (as fstat said at open time).
    bool regular() const { return regular_; }
    bool writable() const { return writable_; }
    bool in_memory() const { return mem_mode_; }
    const std::vector<uint8_t>& memory() const { return mem_data_; }
    const std::u32string& path() const;

    // The output stream attached by attach_output_stream (owned by this object).
    std::unique_ptr<std::ostream> stream;

private:
    bool open_native(const std::string& native_path, bool writable, bool open_option, bool truncate);

    int fd_ = -1;
    uint64_t file_size_ = 0;
    bool writable_ = false;
    bool is_open_ = false;
    bool regular_ = false;
    bool open_option_ = false;
    mutable std::u32string path_;  // wide form of native_path_, made on first use
    std::string native_path_;
    std::vector<uint8_t> mem_data_;
    bool mem_mode_ = false;
    uint64_t mem_pos_ = 0;
};

// Reads a whole regular file, at most `cap` bytes of it (a larger file gives its first `cap`
// bytes). Fails for an empty path, a zero cap, a file that cannot be opened, a file that is not
// a regular file (directory, device, FIFO), an empty file, or a read error.
bool read_file(std::vector<uint8_t>& buffer, const std::string& path, uint64_t cap);

// Size, mode and the three time stamps of a file (FILETIME, to the 100 ns).
struct file_stats {
    uint64_t size = 0;
    uint32_t mode = 0;
    uint64_t ctime = 0;
    uint64_t mtime = 0;
    uint64_t atime = 0;
};

// read_file for a buffer kept across many files: the file's bytes are buffer[0, length); the
// buffer only ever grows (to the largest file read), so reading costs no allocation or zeroing
// per file. `stats` describes the file that was read, taken from it after the read (what
// get_file_stats of the path would then give). On failure length is 0 and stats are zero.
bool read_file_reusing(std::vector<uint8_t>& buffer, size_t& length, const std::string& path, uint64_t cap,
                       file_stats& stats);

// Size, mode and the three time stamps (as FILETIME, to the 100 ns) of a path, following
// symbolic links. All outputs are zero on failure.
bool get_file_stats(const std::string& path, uint64_t& size, uint32_t& mode, uint64_t& ctime, uint64_t& mtime,
                    uint64_t& atime);
bool get_file_stats(const std::u32string& path, uint64_t& size, uint32_t& mode, uint64_t& ctime,
                    uint64_t& mtime, uint64_t& atime);

}  // namespace uni
