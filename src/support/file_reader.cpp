#include "file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "filetime.h"

namespace runtrail {
namespace {

// Largest single read() request.
constexpr uint64_t k_read_chunk = 0x10000000;  // 256 MiB

uint64_t filetime_of(const struct timespec& ts) {
    return unix_to_filetime(static_cast<int64_t>(ts.tv_sec), static_cast<uint32_t>(ts.tv_nsec));
}

class descriptor {
public:
    explicit descriptor(int fd) : fd_(fd) {}
    ~descriptor() {
        if (fd_ != -1) ::close(fd_);
    }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The path as it is opened: trailing '/' and '\' removed.
std::string path_to_open(const std::string& path) {
    std::string trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
    return trimmed;
}

int open_read_only(const std::string& path) {
    const std::string trimmed = path_to_open(path);
    if (trimmed.empty()) return -1;
    int fd;
    do {
        // Non-blocking, so that a FIFO never stalls the open; it is refused below.
        fd = ::open(trimmed.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd == -1 && errno == EINTR);
    return fd;
}

bool read_all(int fd, uint8_t* destination, uint64_t count, uint64_t& got) {
    got = 0;
    while (got < count) {
        const uint64_t want = std::min(k_read_chunk, count - got);
        const ssize_t n = ::pread(fd, destination + got, static_cast<size_t>(want), static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;  // an I/O error is not a short file
        }
        if (n == 0) break;
        got += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace

bool read_file(const std::string& path, uint64_t cap, std::vector<uint8_t>& buffer, size_t& length,
               file_stats& stats, const read_check& may_read) {
    length = 0;
    stats = file_stats{};
    if (path.empty() || cap == 0) return false;
    const descriptor file(open_read_only(path));
    if (file.get() == -1) return false;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

    const uint64_t amount = std::min(static_cast<uint64_t>(std::max<off_t>(st.st_size, 0)), cap);
    if (may_read && !may_read(file_identity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}, amount))
        return false;
    if (amount == 0) return false;
    if (buffer.size() < amount) buffer.resize(static_cast<size_t>(amount));
    uint64_t got = 0;
    if (!read_all(file.get(), buffer.data(), amount, got) || got == 0) return false;
    // Taken after the read: the access time is the one a stat of the path would now give.
    if (::fstat(file.get(), &st) != 0) return false;
    stats.size = static_cast<uint64_t>(st.st_size);
    stats.modified = filetime_of(st.st_mtim);
    stats.accessed = filetime_of(st.st_atim);
    stats.changed = filetime_of(st.st_ctim);
    length = static_cast<size_t>(got);
    return true;
}

std::optional<file_identity> input_identity(const std::string& path) {
    return regular_file_identity(path_to_open(path));
}

}  // namespace runtrail
