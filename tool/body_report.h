// The body-file writer's record: one line of the pipe-separated layout that file-system
// timeline tools read (md5|name|inode|mode|uid|gid|size|atime|mtime|ctime|crtime).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "qn_time.h"

struct runtrail_user_context;

struct body_record {
    std::string md5;  // empty is written as "0"
    std::string name;
    uint64_t inode = 0;
    std::string mode;
    uint64_t uid = 0;
    uint64_t gid = 0;
    uint64_t size = 0;
    int64_t times[4] = {0, 0, 0, 0};  // M, A, C, B in seconds since 1970-01-01 UTC; 0 = no time
    uint32_t time_kind = qn::type_unix_time;

    // Sets the four times from FILETIMEs (M, A, C, B). A time that does not print as a date
    // (zero, not valid, or before 1970 where Unix seconds would go negative) becomes 0.
    void set_times(const uint64_t filetimes[4]);
};

// Writes the header line when it is still pending (and clears the flag), then the record.
void write_body_line(std::ostream& out, const body_record& record, runtrail_user_context& ctx);

// A name as it may stand in a body-file line: "|" becomes ";" and line breaks are marked.
std::string body_name_text(const std::string& name);
