// Typed cells and column declarations of the delimited writers (CSV and its relatives), and
// the row writer that lays them out with separators, padding, quoting and line-break marking.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <sstream>
#include <string>
#include <vector>

struct cmd_params;

enum cell_type : uint16_t {
    cell_empty = 0,
    cell_uint = 4,
    cell_text = 11,
    cell_filetime_split = 12,
    cell_filetime_paired = 13,
    cell_time_header = 24,
};

constexpr uint32_t k_flag_header_column = 0x80;
constexpr uint32_t k_flag_quoted = 0x8000;
// Set by the text setters when they wrapped the value in double quotes themselves; the row
// writer then leaves separators inside it alone (a CSV reader keeps a quoted field whole).
constexpr uint32_t k_flag_wrapped_in_quotes = 0x00400000;
constexpr uint32_t k_flag_decimal = 0x40000000;

// Tags carried in the low byte of number and time cells (not used by the row writer).
constexpr uint32_t k_tag_accessed = 0;
constexpr uint32_t k_tag_modified = 1;
constexpr uint32_t k_tag_last_run = 2;
constexpr uint32_t k_tag_run_count = 4;
constexpr uint32_t k_tag_changed = 8;

struct qn_variant_lite {
    uint16_t type = cell_empty;
    uint32_t flags = 0;
    int64_t width = 0;
    std::string text;
    uint64_t value = 0;
};

struct csv_row {
    bool enabled = true;
    int32_t column_count = 0;
    std::vector<qn_variant_lite> cells;
    uint32_t row_flags = 0;
};

void add_column(cmd_params& settings, const std::string& name, int64_t width);
void add_time_column(cmd_params& settings, const std::string& name, int64_t width);
void init_row(csv_row& row, int32_t column_count, uint32_t row_flags);
// Each setter returns the number of row positions it used: 1, or 2 for a split date/time.
int set_number_cell(csv_row& row, int32_t position, uint64_t value, uint16_t type, uint32_t flags);
int set_text_cell(csv_row& row, int32_t position, const std::string& text, uint16_t type, uint32_t flags);
int set_stream_cell(csv_row& row, int32_t position, const std::ostringstream& text, uint16_t type,
                    uint32_t flags);
void write_header_row(std::ostream& out, cmd_params& settings);
void write_row(std::ostream& out, const csv_row& row, cmd_params& settings);
// CR/LF inside a value become "[CRLF]", "[LFCR]", "[LF]" or "[CR]".
void mark_line_breaks(std::string& text);
// Makes a value safe to stand between two separators: no occurrence of the separator (its
// text without surrounding spaces) survives in it. Used for every unquoted field.
void break_separator_runs(std::string& text, const std::string& separator);
