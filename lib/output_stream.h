// Output streams: a buffered stream buffer that hands whole blocks to write_block, its binding to
// a uni::fileio (the results file), and a stream that discards everything.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "fileio.h"

namespace uni {

// Size of the results file's output buffer.
constexpr uint32_t k_output_buffer_size = 0x40000;  // 256 KiB

// A fixed-size output buffer; full or flushed contents go to write_block in order. After a
// write_block failure the buffer refuses everything further, so a partly written block is
// never written twice and later output is dropped (the stream's bad state tells the owner).
template <class CharT, class Traits = std::char_traits<CharT>>
class streambuf_generic_output : public std::basic_streambuf<CharT, Traits> {
public:
    using int_type = typename Traits::int_type;

    explicit streambuf_generic_output(uint32_t size) {
        try {
            buffer_.reset(new CharT[size]);
            buffer_size_ = size;
            enabled_ = size > 1;
        } catch (const std::bad_alloc&) {
            buffer_size_ = 0;
            enabled_ = false;
        }
        reset_put_area();
    }
    ~streambuf_generic_output() override = default;

    // Writes out what is pending: 0, or -1 on failure.
    virtual int flush_buffer() {
        if (!enabled_) return 0;
        return Traits::eq_int_type(overflow(Traits::eof()), Traits::eof()) ? -1 : 0;
    }
    // Takes `length` characters; returns how many it took, or -1 on failure.
    virtual int64_t write_block(const CharT* data, int64_t length) = 0;

    bool enabled() const { return enabled_; }
    bool failed() const { return failed_; }
    uint32_t buffer_size() const { return buffer_size_; }

protected:
    int_type overflow(int_type c) override {
        if (!enabled_ || failed_) return Traits::eof();
        if (!Traits::eq_int_type(c, Traits::eof())) {
            *this->pptr() = Traits::to_char_type(c);
            this->pbump(1);
        }
        const CharT* next = this->pbase();
        int64_t pending = this->pptr() - this->pbase();
        while (pending > 0) {
            const int64_t taken = write_block(next, pending);
            if (taken <= 0) {
                failed_ = true;
                reset_put_area();
                return Traits::eof();
            }
            next += taken;
            pending -= taken;
        }
        reset_put_area();
        return Traits::eq_int_type(c, Traits::eof()) ? Traits::not_eof(c) : c;
    }

    int sync() override { return Traits::eq_int_type(overflow(Traits::eof()), Traits::eof()) ? -1 : 0; }

private:
    // The put area leaves the buffer's last character free for the one overflow() receives.
    void reset_put_area() {
        if (enabled_)
            this->setp(buffer_.get(), buffer_.get() + buffer_size_ - 1);
        else
            this->setp(nullptr, nullptr);
    }

    std::unique_ptr<CharT[]> buffer_;
    uint32_t buffer_size_ = 0;
    bool enabled_ = false;
    bool failed_ = false;
};

// Block writes go to the end of a uni::fileio.
class fileio_ostream : public streambuf_generic_output<char> {
public:
    fileio_ostream(fileio& file, uint32_t size);
    ~fileio_ostream() override;
    int64_t write_block(const char* data, int64_t length) override;
    bool ready() const { return ready_; }

private:
    fileio& file_;
    bool ready_ = false;
};

class fileio_output : public std::ostream {
public:
    fileio_output(fileio& file, uint32_t size);
    bool good_buffer() const { return good_; }

private:
    fileio_ostream buf_;
    bool good_ = false;
};

// Attaches a buffered output stream (256 KiB) to an open file and returns it; the file owns it
// and flushes it on close. Nothing when the file is not open.
std::ostream* attach_output_stream(fileio& file);

class null_out_buf : public std::streambuf {
protected:
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    int sync() override { return 0; }
};

class null_out_stream : public std::ostream {
public:
    null_out_stream() : std::ostream(&buf_) {}

private:
    null_out_buf buf_;
};

// The process-wide stream that discards everything.
std::ostream& null_stream();

}  // namespace uni
