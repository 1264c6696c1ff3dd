// The log2timeline CSV writer's record: one timeline event (four MACB times with their labels
// and the 17 columns' texts), filled from the run context and written as one line per distinct
// point in time.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "qn_time.h"
#include "time_format.h"

struct runtrail_user_context;

struct l2t_record {
    uint64_t times[4] = {0, 0, 0, 0};  // M, A, C, B (FILETIME)
    std::string labels[4];
    uint32_t time_kind = qn::type_filetime;
    std::string timezone = "UTC";
    std::string source;
    std::string sourcetype;
    std::string type;  // empty: each line's type is the labels merged into it
    std::string user;
    std::string host;
    std::string short_text;
    std::string desc;
    uint32_t version = 2;
    std::string filename;
    std::string inode;
    std::string notes;
    std::string format;
    std::string extra;

    std::string date_format = qn::k_default_date_format;
    std::string time_format = qn::k_default_time_format;
    qn::time_format_spec time_formatter{};
    std::string separator = ",";
    char field_sep_char = ',';
    char field_sep_replacement = ' ';
    bool padded = true;
    bool pair_datetime = false;
};

// Writes the header line when it is still pending (and clears the flag), then one line per
// distinct valid time of the record, in ascending order of time.
void write_l2t_record(std::ostream& out, const l2t_record& record, runtrail_user_context& ctx);

// The text that stands in a field so that it can neither split the line (line breaks are
// marked) nor add a field (the separator character is replaced). Exposed for tests.
std::string l2t_field_text(const std::string& text, const l2t_record& record);
