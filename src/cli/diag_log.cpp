#include "diag_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "field_text.h"

namespace runtrail {

diag_log::~diag_log() {
    if (fd_ != -1) ::close(fd_);
}

bool diag_log::open(const std::string& path) {
    // No O_TRUNC: a file that turns out to be an input must keep its bytes.
    fd_ = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
    return fd_ != -1;
}

std::optional<file_identity> diag_log::identity() const {
    if (fd_ == -1) return std::nullopt;
    return regular_file_identity(fd_);
}

bool diag_log::begin() {
    if (!identity() || ::ftruncate(fd_, 0) == 0) return true;
    ::close(fd_);
    fd_ = -1;
    return false;
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

void diag_log::line(std::string text) {
    // Names come from the file system or a crafted list: a line break in one must not forge a log
    // line, nor a control code reach whoever reads the log.
    make_printable(text);
    append("->" + text + "\n");
}

}  // namespace runtrail
