// The row machinery behind the delimited outputs: a header list declared once per run, rows of
// typed cells, and a writer that joins them with the run's separator. It owns padding to the
// column widths, the space before time columns, quoting, replacement of the separator inside
// values and the marking of line breaks, so that every row keeps the header's field count
// whatever text a hostile file puts into a name.
#include <algorithm>
#include <charconv>
#include <iterator>
#include <ostream>
#include <string_view>

#include "cmd_params.h"
#include "qn_time.h"
#include "qn_variant_lite.h"
#include "time_format.h"

namespace {

constexpr uint16_t k_last_known_type = 31;
constexpr size_t k_max_number_chars = 2 + 20;  // "0x" prefix or the 20 digits of 2^64 - 1
constexpr uint16_t k_type_paired_alt = 18;  // another paired time type; gets the same space in a header

bool occupies_two_positions(uint16_t type) {
    return type == 12 || type == 15 || type == 17 || type == 19 || type == 21;
}

bool is_time_column(uint16_t type) {
    return type == cell_time_header || type == cell_filetime_paired || type == k_type_paired_alt;
}

// The cell at position, emptied and stamped with type and flags; nullptr when the position or
// the type is out of range.
qn_variant_lite* prepare_cell(csv_row& row, int32_t position, uint16_t type, uint32_t flags) {
    if (position < 0 || position >= row.column_count || static_cast<size_t>(position) >= row.cells.size() ||
        type > k_last_known_type)
        return nullptr;
    qn_variant_lite& cell = row.cells[static_cast<size_t>(position)];
    cell = qn_variant_lite{};
    cell.type = type;
    cell.flags = row.row_flags | flags;
    return &cell;
}

// Wraps text in double quotes for a quoted field. Inner quotes are doubled, as CSV readers
// expect: left single they would end the field early and the row would lose its shape.
std::string quote_text(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool starts_with_brace_quote(const std::string& text) {
    return text.size() >= 3 && text[0] == '{' && text[1] == '"';
}

void store_text(qn_variant_lite& cell, const std::string& text) {
    if ((cell.flags & k_flag_quoted) && !starts_with_brace_quote(text)) {
        cell.text = quote_text(text);
        cell.flags |= k_flag_wrapped_in_quotes;
    } else {
        cell.text = text;
    }
}

// Appends text padded on the right (left-aligned) or on the left to at least width characters.
void append_padded(std::string& out, std::string_view text, int64_t width, bool left_align) {
    const int64_t fill = width - static_cast<int64_t>(text.size());
    if (fill > 0 && !left_align) out.append(static_cast<size_t>(fill), ' ');
    out += text;
    if (fill > 0 && left_align) out.append(static_cast<size_t>(fill), ' ');
}

// Decimal, or "0x" and lower-case hexadecimal digits.
void append_number(std::string& out, uint64_t value, bool decimal) {
    char digits[k_max_number_chars];
    char* first = digits;
    if (!decimal) {
        *first++ = '0';
        *first++ = 'x';
    }
    const std::to_chars_result end = std::to_chars(first, std::end(digits), value, decimal ? 10 : 16);
    out.append(digits, end.ptr);
}

int64_t column_width(const cmd_params& settings, size_t position) {
    if (settings.compact_fields || position >= settings.header_columns.size()) return 0;
    return settings.header_columns[position].width;
}

}  // namespace

void add_column(cmd_params& settings, const std::string& name, int64_t width) {
    qn_variant_lite column;
    column.type = cell_empty;
    column.flags = k_flag_header_column;
    column.width = width;
    column.text = name;
    settings.header_columns.push_back(std::move(column));
}

void add_time_column(cmd_params& settings, const std::string& name, int64_t width) {
    add_column(settings, name, width);
    settings.header_columns.back().type = cell_time_header;
}

void init_row(csv_row& row, int32_t column_count, uint32_t row_flags) {
    row.enabled = true;
    row.column_count = column_count < 0 ? 0 : column_count;
    row.row_flags = row_flags;
    row.cells.assign(static_cast<size_t>(row.column_count), qn_variant_lite{});
}

int set_number_cell(csv_row& row, int32_t position, uint64_t value, uint16_t type, uint32_t flags) {
    qn_variant_lite* cell = prepare_cell(row, position, type, flags);
    if (!cell) return 1;
    cell->value = value;
    if (!occupies_two_positions(type)) return 1;
    if (position + 1 < row.column_count) row.cells[static_cast<size_t>(position) + 1] = qn_variant_lite{};
    return 2;
}

int set_text_cell(csv_row& row, int32_t position, const std::string& text, uint16_t type, uint32_t flags) {
    qn_variant_lite* cell = prepare_cell(row, position, type, flags);
    if (!cell) return 1;
    store_text(*cell, text);
    return 1;
}

int set_stream_cell(csv_row& row, int32_t position, const std::ostringstream& text, uint16_t type,
                    uint32_t flags) {
    return set_text_cell(row, position, text.str(), type, flags);
}

void mark_line_breaks(std::string& text) {
    // Nearly every value has no line break; one plain pass says so (find_first_of would look up
    // each character in the set with a call of its own).
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; })) return;
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool cr_follows = i + 1 < text.size() && text[i + 1] == '\r';
        const bool lf_follows = i + 1 < text.size() && text[i + 1] == '\n';
        if (c == '\r' && lf_follows) {
            out += "[CRLF]";
            ++i;
        } else if (c == '\n' && cr_follows) {
            out += "[LFCR]";
            ++i;
        } else if (c == '\n') {
            out += "[LF]";
        } else if (c == '\r') {
            // A lone CR ends a line for many readers too, so it is marked even when the value
            // also holds an LF elsewhere.
            out += "[CR]";
        } else {
            out.push_back(c);
        }
    }
    text.swap(out);
}

void break_separator_runs(std::string& text, const std::string& separator) {
    // The part of the separator a reader splits on: without its padding spaces. A separator of
    // spaces only (or none) cannot be protected this way and is left to the padding rules.
    const size_t first = separator.find_first_not_of(' ');
    if (first == std::string::npos) return;
    const size_t last = separator.find_last_not_of(' ');
    const std::string key = separator.substr(first, last - first + 1);
    // Each pass turns one non-space character into a space, so the loop ends.
    for (size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + 1 >= key.size() ? at + 1 - key.size() : 0))
        text[at] = ' ';
}

void write_header_row(std::ostream& out, cmd_params& settings) {
    settings.header_pending = false;
    const size_t count = settings.header_columns.size();
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        const qn_variant_lite& column = settings.header_columns[i];
        if (is_time_column(column.type) && settings.pad_separator) text += ' ';
        std::string name = column.text;
        break_separator_runs(name, settings.separator);
        append_padded(text, name, settings.compact_fields ? 0 : column.width, true);
        if (i + 1 < count) text += settings.separator;
    }
    text += '\n';
    out << text;
}

void write_row(std::ostream& out, const csv_row& row, cmd_params& settings) {
    if (settings.header_pending) write_header_row(out, settings);
    const std::string blank = settings.compact_fields ? "" : " ";
    const size_t count = std::min(static_cast<size_t>(row.column_count < 0 ? 0 : row.column_count), row.cells.size());
    // The line is built in a string (no string stream per row) and handed to the stream whole.
    std::string line;
    std::string value, date, time_text, number;

    for (size_t p = 0; p < count; ++p) {
        const qn_variant_lite& cell = row.cells[p];
        switch (cell.type) {
            case cell_text: {
                value = cell.text;
                if (settings.field_sep_char != 0) {
                    const char replacement = settings.field_sep_replacement != 0 ? settings.field_sep_replacement : ' ';
                    for (char& c : value)
                        if (c == settings.field_sep_char) c = replacement;
                }
                mark_line_breaks(value);
                // A quoted field may hold the separator; any other must not.
                if (!(cell.flags & k_flag_wrapped_in_quotes)) break_separator_runs(value, settings.separator);
                append_padded(line, value, column_width(settings, p), true);
                break;
            }
            case cell_uint: {
                const bool decimal = (cell.flags & k_flag_decimal) || !settings.hex_numbers;
                number.clear();
                append_number(number, cell.value, decimal);
                append_padded(line, number, column_width(settings, p), false);
                break;
            }
            case cell_filetime_split:
            case cell_filetime_paired: {
                date = blank;
                time_text = blank;
                const qn::time t(static_cast<int64_t>(cell.value), qn::type_filetime);
                if (t.valid) qn::format_date_time_spec(date, time_text, t, settings.time_formatter);
                // A date pattern may use the separator character ("/" or "-"); it must not add a field.
                break_separator_runs(date, settings.separator);
                break_separator_runs(time_text, settings.separator);
                if (cell.type == cell_filetime_paired) {
                    if (!settings.compact_fields && settings.pad_separator) line += ' ';
                    date += ' ';
                    date += time_text;
                    append_padded(line, date, column_width(settings, p), true);
                    break;
                }
                append_padded(line, date, column_width(settings, p), true);
                if (p + 1 < count) {
                    line += settings.separator;
                    ++p;
                    if (settings.pad_separator) line += ' ';
                    append_padded(line, time_text, column_width(settings, p), true);
                }
                break;
            }
            default:
                break;
        }
        if (p + 1 < count) line += settings.separator;
    }
    line += '\n';
    out << line;
}
