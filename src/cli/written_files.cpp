#include "written_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "byte_reader.h"
#include "file_reader.h"
#include "layout.h"

namespace runtrail {
namespace {

// The compressed container of Windows 10 and 11 ("MAM" and its version byte) and the place of the
// plain image's "SCCA".
constexpr char k_mam_container_start[] = {'M', 'A', 'M', '\x04'};
constexpr size_t k_prefetch_start_bytes = 8;

}  // namespace

bool holds_prefetch_image(const std::string& path, const file_identity& written) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd == -1) return false;
    unsigned char start[k_prefetch_start_bytes] = {};
    const bool same = regular_file_identity(fd) == written;
    const ssize_t got = same ? ::pread(fd, start, sizeof start, 0) : 0;
    ::close(fd);
    if (got < static_cast<ssize_t>(sizeof start)) return false;
    byte_reader in(byte_span(start, sizeof start));
    return std::memcmp(start, k_mam_container_start, sizeof k_mam_container_start) == 0 ||
           in.u32(prefetch_layout::header::signature) == prefetch_layout::k_signature_scca;
}

const char* role_text(written_role role) {
    return role == written_role::results_file ? "the results file" : "the diagnostic log";
}

written_role written_files::role_of(const std::string& path) const {
    if (!results_ && !log_) return written_role::none;  // nothing to look up
    const std::optional<file_identity> input = input_identity(path);
    return input ? role_of(*input) : written_role::none;
}

written_role written_files::role_of(const file_identity& input) const {
    if (input == results_) return written_role::results_file;
    if (input == log_) return written_role::diagnostic_log;
    return written_role::none;
}

}  // namespace runtrail
