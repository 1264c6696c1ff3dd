#include "stdin_names.h"

#include <cstring>

namespace runtrail {

stdin_names::stdin_names(std::FILE* input) : input_(input), buffer_(k_line_buffer_size) {}

bool stdin_names::next(std::string& name) {
    name.clear();
    if (!input_) return false;
    // fgets does not tell how many bytes it stored. Every byte is preset to non-zero, so the last
    // zero byte is its terminator even when the line itself holds zero bytes.
    std::memset(buffer_.data(), 1, buffer_.size());
    if (!std::fgets(buffer_.data(), static_cast<int>(buffer_.size()), input_)) return false;
    const void* end = memrchr(buffer_.data(), 0, buffer_.size());
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - buffer_.data());
    if (std::memchr(buffer_.data(), 0, length) != nullptr) return true;
    name.assign(buffer_.data(), length);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return true;
}

}  // namespace runtrail
