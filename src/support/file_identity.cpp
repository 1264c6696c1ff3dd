#include "file_identity.h"

#include <sys/stat.h>

namespace runtrail {
namespace {

std::optional<file_identity> identity_of(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    return file_identity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

}  // namespace

std::optional<file_identity> regular_file_identity(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return identity_of(st);
}

std::optional<file_identity> regular_file_identity(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return identity_of(st);
}

}  // namespace runtrail
