#include "report_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace runtrail {
namespace {

// Output is handed to write() in blocks of this size: a report of many small fields costs few
// system calls. Standard output keeps a smaller block, so reports show up as they are made.
constexpr size_t k_results_file_block = 0x40000;  // 256 KiB
constexpr size_t k_standard_output_block = 8192;
// New results files: read and write for owner and others (the umask applies).
constexpr mode_t k_create_mode = 0606;

}  // namespace

report_output::report_output() : fd_(STDOUT_FILENO), buffer_limit_(k_standard_output_block) {}

report_output::~report_output() { close(); }

bool report_output::open_file(const std::string& path) {
    // No O_TRUNC: a file that turns out to be an input must keep its bytes. A file this run creates
    // is known as such, so that a refused run can take it away again.
    auto open_with = [&path](int flags) {
        int fd;
        do {
            fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | flags, k_create_mode);
        } while (fd == -1 && errno == EINTR);
        return fd;
    };
    int fd = open_with(0);
    if (fd == -1 && errno == ENOENT) {
        fd = open_with(O_CREAT | O_EXCL);
        if (fd != -1) created_path_ = path;
    }
    if (fd == -1) return false;
    fd_ = fd;
    owns_descriptor_ = true;
    buffer_limit_ = k_results_file_block;
    return true;
}

void report_output::abandon() {
    if (owns_descriptor_) ::close(fd_);
    owns_descriptor_ = false;
    fd_ = STDOUT_FILENO;
    if (!created_path_.empty()) ::unlink(created_path_.c_str());
    created_path_.clear();
    buffer_.clear();
}

std::optional<file_identity> report_output::identity() const { return regular_file_identity(fd_); }

bool report_output::begin(bool append) {
    // Standard output is the shell's to empty; a pipe or a device is written as it is.
    if (!owns_descriptor_ || !identity()) return true;
    if (append) return ::lseek(fd_, 0, SEEK_END) != -1;
    return ::ftruncate(fd_, 0) == 0;
}

bool report_output::to_terminal() const { return ::isatty(fd_) == 1; }

size_t report_output::write_out(const char* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t put = ::write(fd_, data + done, length - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    return done;
}

void report_output::append(std::string_view text, bool is_report) {
    if (failed_) return;
    // A report larger than a block goes out as it is, after what is buffered: the buffer never
    // grows past a block and a report is never copied whole.
    if (text.size() >= buffer_limit_) {
        if (!flush()) return;
        const size_t done = write_out(text.data(), text.size());
        if (is_report && done == text.size()) ++reports_written_;
        failed_ = done < text.size();
        return;
    }
    buffer_ += text;
    if (is_report) report_ends_.push_back(buffer_.size());
    if (buffer_.size() >= buffer_limit_) flush();
}

void report_output::write(std::string_view text) { append(text, false); }

void report_output::write_report(std::string_view report) { append(report, true); }

bool report_output::flush() {
    if (!failed_ && !buffer_.empty()) {
        const size_t done = write_out(buffer_.data(), buffer_.size());
        // A report counts as written only when all of it reached the destination.
        reports_written_ += static_cast<uint64_t>(
            std::upper_bound(report_ends_.begin(), report_ends_.end(), done) - report_ends_.begin());
        failed_ = done < buffer_.size();
    }
    buffer_.clear();
    report_ends_.clear();
    return !failed_;
}

bool report_output::close() {
    const bool ok = flush();
    if (owns_descriptor_) {
        ::close(fd_);
        owns_descriptor_ = false;
        fd_ = STDOUT_FILENO;
    }
    return ok;
}

}  // namespace runtrail
