#include "fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "qn_string.h"
#include "qn_time.h"

namespace uni {

namespace {

// Largest single read() request; whole files are read in as few calls as possible.
constexpr uint64_t k_read_chunk = 0x10000000;  // 256 MiB
// Files under /proc often cannot seek to their end; they are read up to this size instead.
constexpr uint64_t k_proc_assumed_size = 0x40000;
// New results files: read and write for owner and others (the umask applies).
constexpr mode_t k_create_mode = 0606;

std::string_view without_trailing_separators(std::string_view path) {
    while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.remove_suffix(1);
    return path;
}

uint64_t filetime_of(const struct timespec& ts) {
    return qn::unix_to_filetime(static_cast<int64_t>(ts.tv_sec), static_cast<uint32_t>(ts.tv_nsec));
}

// Full 64-bit seconds with their nanoseconds: a time after 2038 or before 1970 keeps its value.
file_stats stats_of(const struct stat& st) {
    file_stats stats;
    stats.size = static_cast<uint64_t>(st.st_size);
    stats.mode = static_cast<uint32_t>(st.st_mode);
    stats.ctime = filetime_of(st.st_ctim);
    stats.mtime = filetime_of(st.st_mtim);
    stats.atime = filetime_of(st.st_atim);
    return stats;
}

}  // namespace

fileio::fileio(const std::string& path) { open(path, false); }

fileio::~fileio() { close(); }

bool fileio::open(const std::u32string& path, bool writable, bool open_option, bool truncate) {
    if (path.empty() || mem_mode_) return false;
    const std::string native = qn::wide_to_utf8(path);
    if (native.empty()) return false;
    return open_native(native, writable, open_option, truncate);
}

bool fileio::open(const std::string& path, bool writable, bool open_option, bool truncate) {
    if (path.empty() || mem_mode_) return false;
    return open_native(path, writable, open_option, truncate);
}

bool fileio::open_native(const std::string& native_path, bool writable, bool open_option, bool truncate) {
    const std::string_view trimmed = without_trailing_separators(native_path);
    if (fd_ != -1) close();
    if (trimmed.empty()) return false;
    writable_ = writable;
    open_option_ = open_option;
    native_path_.assign(trimmed);
    const std::string& native = native_path_;

    int flags = O_NONBLOCK | O_CLOEXEC;
    if (writable) {
        flags |= O_RDWR;
        if (truncate) flags |= O_CREAT | O_TRUNC;
    } else {
        flags |= O_RDONLY;
    }
    int fd;
    do {
        fd = ::open(native.c_str(), flags, k_create_mode);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1) {
        close();
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
        ::close(fd);
        close();
        return false;
    }
    fd_ = fd;
    is_open_ = true;
    regular_ = S_ISREG(st.st_mode);
    // A regular file's size is known from fstat; only other files (and files under /proc, which
    // report 0) are measured by seeking to their end.
    file_size_ = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : size();
    return true;
}

void fileio::open_memory(std::vector<uint8_t> data) {
    close();
    mem_mode_ = true;
    mem_data_ = std::move(data);
    file_size_ = mem_data_.size();
    mem_pos_ = 0;
    writable_ = true;
}

const std::u32string& fileio::path() const {
    // The wide form is made only when asked for: the per-file reads never need it.
    if (path_.empty() && !native_path_.empty()) path_ = qn::utf8_to_wide(native_path_);
    return path_;
}

bool fileio::is_open() const { return mem_mode_ || (fd_ != -1 && is_open_); }

uint64_t fileio::size() {
    if (mem_mode_) return mem_data_.size();
    if (fd_ == -1) return 0;
    const off_t here = ::lseek(fd_, 0, SEEK_CUR);
    uint64_t result = 0;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end >= 0) {
        result = static_cast<uint64_t>(end);
    } else if (errno == EINVAL && native_path_.rfind("/proc", 0) == 0) {
        result = k_proc_assumed_size;
    }
    if (here >= 0) ::lseek(fd_, here, SEEK_SET);
    return result;
}

bool fileio::read_at(std::vector<uint8_t>& buffer, uint64_t count, uint64_t offset) {
    if (!is_open() || offset >= file_size_) return false;
    if (count == 0) return true;
    buffer.resize(static_cast<size_t>(std::min(count, file_size_ - offset)));
    uint64_t got = 0;
    const bool ok = read_at(buffer.data(), buffer.size(), offset, got);
    buffer.resize(static_cast<size_t>(got));
    return ok;
}

bool fileio::read_at(uint8_t* destination, uint64_t count, uint64_t offset, uint64_t& got) {
    got = 0;
    if (!is_open() || offset >= file_size_) return false;
    count = std::min(count, file_size_ - offset);
    if (count == 0) return true;
    if (mem_mode_) {
        std::memcpy(destination, mem_data_.data() + offset, static_cast<size_t>(count));
        mem_pos_ = offset + count;
        got = count;
        return true;
    }
    // Positioned reads: no separate seek per read. A descriptor that cannot seek fails here as
    // the seek would have.
    while (got < count) {
        const uint64_t want = std::min(k_read_chunk, count - got);
        const ssize_t n = ::pread(fd_, destination + got, static_cast<size_t>(want), static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;  // an I/O error is not a short file
        }
        if (n == 0) break;
        got += static_cast<uint64_t>(n);
    }
    return true;
}

bool fileio::append(const void* data, uint64_t length) {
    if (!is_open() || data == nullptr) return false;
    if (length == 0) return true;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (mem_mode_) {
        mem_data_.insert(mem_data_.end(), bytes, bytes + length);
        file_size_ = mem_pos_ = mem_data_.size();
        return true;
    }
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0 && errno != ESPIPE) return false;
    // write() may take less than asked (a nearly full disk, a signal); the rest is retried, and
    // a failure anywhere makes the whole block fail rather than be silently cut.
    uint64_t done = 0;
    while (done < length) {
        const ssize_t put = ::write(fd_, bytes + done, static_cast<size_t>(length - done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) return false;
        done += static_cast<uint64_t>(put);
    }
    const off_t new_end = ::lseek(fd_, 0, SEEK_CUR);
    file_size_ = new_end >= 0 ? static_cast<uint64_t>(new_end) : file_size_ + length;
    return true;
}

bool fileio::close() {
    bool ok = true;
    if (stream) {
        stream->flush();
        ok = !stream->bad() && !stream->fail();
        stream.reset();  // the stream's buffer flushes once more on destruction; nothing is left
    }
    if (mem_mode_) {
        mem_data_.clear();
        mem_data_.shrink_to_fit();
    } else if (fd_ != -1) {
        ::close(fd_);
    }
    fd_ = -1;
    file_size_ = 0;
    writable_ = false;
    is_open_ = false;
    regular_ = false;
    open_option_ = false;
    path_.clear();
    native_path_.clear();
    mem_mode_ = false;
    mem_pos_ = 0;
    return ok;
}

bool read_file(std::vector<uint8_t>& buffer, const std::string& path, uint64_t cap) {
    buffer.clear();
    size_t length = 0;
    file_stats stats;
    const bool ok = read_file_reusing(buffer, length, path, cap, stats);
    buffer.resize(ok ? length : 0);
    return ok;
}

bool read_file_reusing(std::vector<uint8_t>& buffer, size_t& length, const std::string& path, uint64_t cap,
                       file_stats& stats) {
    length = 0;
    stats = file_stats{};
    if (path.empty() || cap == 0) return false;
    fileio file;
    if (!file.open(path, false)) return false;
    if (!file.regular()) return false;
    const uint64_t size = file.cached_size();  // all 64 bits: a 4 GiB + 10 byte file is not 10 bytes
    if (size == 0) return false;
    const uint64_t amount = std::min(size, cap);
    if (buffer.size() < amount) buffer.resize(static_cast<size_t>(amount));
    uint64_t got = 0;
    if (!file.read_at(buffer.data(), amount, 0, got) || got == 0) return false;
    // Taken after the read, from the file that was read: the access time is the one a stat of
    // the path would now give.
    struct stat st {};
    if (::fstat(file.descriptor(), &st) != 0) return false;
    stats = stats_of(st);
    length = static_cast<size_t>(got);
    return true;
}

bool get_file_stats(const std::string& path, uint64_t& size, uint32_t& mode, uint64_t& ctime, uint64_t& mtime,
                    uint64_t& atime) {
    size = ctime = mtime = atime = 0;
    mode = 0;
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    const file_stats stats = stats_of(st);
    size = stats.size;
    mode = stats.mode;
    ctime = stats.ctime;
    mtime = stats.mtime;
    atime = stats.atime;
    return true;
}

bool get_file_stats(const std::u32string& path, uint64_t& size, uint32_t& mode, uint64_t& ctime,
                    uint64_t& mtime, uint64_t& atime) {
    return get_file_stats(qn::wide_to_utf8(path), size, mode, ctime, mtime, atime);
}

}  // namespace uni
