// Where the reports go: standard output, or the results file named by -out. Reports are collected
// in a buffer and written in whole blocks. A failed write is remembered, and nothing more is
// written after it, so a report is never left half written twice.
#pragma once

#include <string>
#include <string_view>

namespace runtrail {

class report_output {
public:
    // Standard output.
    report_output();
    ~report_output();
    report_output(const report_output&) = delete;
    report_output& operator=(const report_output&) = delete;

    // Opens the results file instead: extended under `append` (created when missing), else created
    // or truncated. False when the path cannot be opened for writing, or names a FIFO or socket.
    bool open_file(const std::string& path, bool append);

    void write(std::string_view text);
    // Writes out what is buffered; false when this or any earlier write failed.
    bool flush();
    // Flushes and, for a results file, closes it; false when any write failed.
    bool close();
    bool failed() const { return failed_; }
    bool to_file() const { return owns_descriptor_; }

private:
    bool write_out(const char* data, size_t length);

    int fd_;
    bool owns_descriptor_ = false;
    size_t buffer_limit_;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace runtrail
