// Where the reports go: standard output, or the results file named by -out. Reports are collected
// in a buffer and written in whole blocks. A failed write is remembered, and nothing more is
// written after it, so a report is never left half written twice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_identity.h"

namespace runtrail {

class report_output {
public:
    // Standard output.
    report_output();
    ~report_output();
    report_output(const report_output&) = delete;
    report_output& operator=(const report_output&) = delete;

    // Opens the results file instead, without changing it yet: created when missing, an existing
    // file keeps every byte until begin(). Any writable destination will do: a regular file, a
    // pipe or FIFO (opening one waits for its reader), a character device such as /dev/stdout.
    bool open_file(const std::string& path);
    // Gives up the results file before anything was written to it: a file that open_file created
    // is removed again, an existing one is left as it was.
    void abandon();
    // The destination (the results file, or standard output redirected to a file), when it is a
    // regular file: what must never be read as input or written over one.
    std::optional<file_identity> identity() const;
    // Once the destination is known to be safe to write: a regular results file is emptied, or
    // under `append` extended. False when it cannot be emptied.
    bool begin(bool append);

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
    bool to_terminal() const;
    // Reports whose every byte reached the destination.
    uint64_t reports_written() const { return reports_written_; }

private:
    void append(std::string_view text, bool is_report);
    size_t write_out(const char* data, size_t length);

    int fd_;
    bool owns_descriptor_ = false;
    std::string created_path_;  // the results file, when this run created it
    size_t buffer_limit_;
    std::string buffer_;
    std::vector<size_t> report_ends_;  // where the buffered reports end in buffer_
    uint64_t reports_written_ = 0;
    bool failed_ = false;
};

}  // namespace runtrail
