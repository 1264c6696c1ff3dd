// Where the reports go: standard output, or the results file named by -out. Reports are collected
// in a buffer and written in whole blocks. A failed write is remembered, and nothing more is
// written after it, so a report is never left half written twice.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

    // Text that is no file's report: the header block, separator lines.
    void write(std::string_view text);
    // One file's report, counted by reports_written() once all of it is out.
    void write_report(std::string_view report);
    // Writes out what is buffered; false when this or any earlier write failed.
    bool flush();
    // Flushes and, for a results file, closes it; false when any write failed.
    bool close();
    bool failed() const { return failed_; }
    bool to_file() const { return owns_descriptor_; }
    // Reports whose every byte reached the destination.
    uint64_t reports_written() const { return reports_written_; }

private:
    void append(std::string_view text, bool is_report);
    size_t write_out(const char* data, size_t length);

    int fd_;
    bool owns_descriptor_ = false;
    size_t buffer_limit_;
    std::string buffer_;
    std::vector<size_t> report_ends_;  // where the buffered reports end in buffer_
    uint64_t reports_written_ = 0;
    bool failed_ = false;
};

}  // namespace runtrail
