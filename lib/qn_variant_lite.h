// Typed cells and column declarations of the delimited writers (CSV and its relatives), and
// the row writer that lays them out with separators, padding, quoting and line-break marking.
#pragma once

#include <cstdint>
#include <iosfwd>
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

enum : uint32_t {
    k_flag_header_column = 0x80,
    k_flag_quoted = 0x8000,
    k_flag_decimal = 0x40000000,
};

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
int set_number_cell(csv_row& row, int32_t position, uint64_t value, uint16_t type, uint32_t flags);
int set_text_cell(csv_row& row, int32_t position, const std::string& text, uint16_t type, uint32_t flags);
void write_header_row(std::ostream& out, cmd_params& settings);
void write_row(std::ostream& out, const csv_row& row, cmd_params& settings);
void mark_line_breaks(std::string& text);
