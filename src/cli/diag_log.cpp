#include "diag_log.h"

#include <fcntl.h>
#include <unistd.h>

namespace runtrail {

diag_log::~diag_log() {
    if (fd_ != -1) ::close(fd_);
}

bool diag_log::open(const std::string& path) {
    fd_ = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ != -1;
}

void diag_log::append(const std::string& text) {
    if (fd_ == -1) return;
    // Best effort: the log never stops the run.
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd_, text.data() + done, text.size() - done);
        if (put <= 0) return;
        done += static_cast<size_t>(put);
    }
}

void diag_log::line(const std::string& text) { append("->" + text + "\n"); }

}  // namespace runtrail
