#include "output_stream.h"

namespace uni {

fileio_ostream::fileio_ostream(fileio& file, uint32_t size)
    : streambuf_generic_output<char>(size), file_(file), ready_(file.is_open()) {}

fileio_ostream::~fileio_ostream() { flush_buffer(); }

int64_t fileio_ostream::write_block(const char* data, int64_t length) {
    if (!ready_ || length < 0) return -1;
    return file_.append(data, static_cast<uint64_t>(length)) ? length : -1;
}

fileio_output::fileio_output(fileio& file, uint32_t size) : std::ostream(nullptr), buf_(file, size) {
    if (buf_.ready() && buf_.enabled()) {
        rdbuf(&buf_);
        good_ = true;
    } else {
        setstate(std::ios::badbit);
    }
}

std::ostream* attach_output_stream(fileio& file) {
    file.stream.reset();
    if (!file.is_open()) return nullptr;
    try {
        auto out = std::make_unique<fileio_output>(file, k_output_buffer_size);
        if (!out->good_buffer()) return nullptr;
        file.stream = std::move(out);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return file.stream.get();
}

std::ostream& null_stream() {
    static null_out_stream instance;
    return instance;
}

}  // namespace uni
