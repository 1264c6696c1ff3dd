// Shape checks of the reports, shared by the hostile-input tests and the fuzz harness: whatever
// text a crafted file puts into a name, every CSV row keeps the header's field count, every
// log2timeline line its 17 fields (16 with a paired date/time), every body-file line its 11 fields
// and every JSON Lines record stays one line of valid JSON; in an HTML page a file adds one table
// row and data blocks of valid JSON that no name can close or turn into markup.
// Each check returns an empty text when the output has its shape, else what is wrong.
#pragma once

#include <cctype>
#include <cstring>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "report_settings.h"

namespace runtrail::report_shape {

constexpr int k_l2t_fields = 17;
constexpr int k_body_fields = 11;

// Lines of a report; a report always ends with a line end, so a last line without one is kept
// as a line of its own and reported by the checks.
inline std::vector<std::string> lines_of(const std::string& text, bool& ends_with_newline) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    ends_with_newline = start == text.size();
    if (!ends_with_newline) lines.push_back(text.substr(start));
    return lines;
}

// The text a reader splits on: the separator without its padding spaces.
inline std::string split_key(const std::string& separator) {
    const size_t first = separator.find_first_not_of(' ');
    if (first == std::string::npos) return separator;
    return separator.substr(first, separator.find_last_not_of(' ') - first + 1);
}

// Fields of one line as a CSV reader splits it, honouring double quotes (a quote opens a field
// only at its start; "" inside a quoted field is one quote) when `quoted`. -1 when a quoted
// field is still open at the end of the line.
inline int count_fields(const std::string& line, const std::string& key, bool quoted) {
    if (key.empty()) return 1;
    int fields = 1;
    bool in_quotes = false;
    bool field_start = true;
    for (size_t i = 0; i < line.size();) {
        if (quoted && line[i] == '"' && (in_quotes || field_start)) {
            if (in_quotes && i + 1 < line.size() && line[i + 1] == '"') {
                i += 2;
                continue;
            }
            in_quotes = !in_quotes;
            field_start = false;
            ++i;
            continue;
        }
        if (!in_quotes && line.compare(i, key.size(), key) == 0) {
            ++fields;
            i += key.size();
            field_start = true;
            continue;
        }
        if (line[i] != ' ') field_start = false;  // padding may stand before a quoted field
        ++i;
    }
    return in_quotes ? -1 : fields;
}

inline std::string check_lines(const std::string& output, const std::string& key, bool quoted, int expected,
                               const char* form) {
    bool ends = false;
    const std::vector<std::string> lines = lines_of(output, ends);
    if (!ends) return std::string(form) + ": output does not end with a line end";
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find('\r') != std::string::npos) return std::string(form) + ": CR in line " + std::to_string(i);
        const int fields = count_fields(lines[i], key, quoted);
        if (fields != expected)
            return std::string(form) + ": line " + std::to_string(i) + " has " + std::to_string(fields) +
                   " fields, expected " + std::to_string(expected) + ": " + lines[i].substr(0, 300);
    }
    return {};
}

// CSV: every line has as many fields as the header line.
inline std::string check_csv(const std::string& output, const report_settings& settings) {
    if (output.empty()) return {};
    const std::string key = split_key(settings.separator);
    const int columns = count_fields(output.substr(0, output.find('\n')), key, settings.quoted_fields);
    return check_lines(output, key, settings.quoted_fields, columns, "csv");
}

inline std::string check_l2t(const std::string& output, const report_settings& settings) {
    if (output.empty()) return {};
    return check_lines(output, split_key(settings.separator), settings.quoted_fields,
                       settings.pair_datetime ? k_l2t_fields - 1 : k_l2t_fields, "l2t");
}

// The body-file separator is always "|", whatever the run's separator.
inline std::string check_body(const std::string& output) {
    if (output.empty()) return {};
    return check_lines(output, "|", false, k_body_fields, "body");
}

// The text report: names are cut into lines only where the report means to.
inline std::string check_text(const std::string& output) {
    if (output.find('\r') != std::string::npos) return "text: CR in the report";
    if (!output.empty() && output.back() != '\n') return "text: report does not end with a line end";
    return {};
}

// A minimal JSON syntax check: one value, strings without raw control characters and with known
// escapes, nothing after the value.
class json_checker {
public:
    explicit json_checker(const std::string& text) : s_(text) {}
    bool whole_value() { return value(0) && (space(), i_ == s_.size()); }

private:
    void space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }
    bool take(char c) { return space(), i_ < s_.size() && s_[i_] == c && (++i_, true); }
    bool word(const std::string& w) { return s_.compare(i_, w.size(), w) == 0 && (i_ += w.size(), true); }
    bool string() {
        if (!take('"')) return false;
        for (; i_ < s_.size(); ++i_) {
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') return ++i_, true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (++i_ >= s_.size()) return false;
            if (s_[i_] == 'u') {
                for (int k = 0; k < 4; ++k)
                    if (++i_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[i_]))) return false;
            } else if (std::string("\"\\/bfnrt").find(s_[i_]) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    // A list of values (or, in an object, of "name": value members) up to `close`.
    bool items(char close, bool members, int depth) {
        if (take(close)) return true;
        do {
            if (members && !(string() && take(':'))) return false;
            if (!value(depth + 1)) return false;
        } while (take(','));
        return take(close);
    }
    bool value(int depth) {
        space();
        if (depth > 64 || i_ >= s_.size()) return false;
        if (s_[i_] == '"') return string();
        if (take('{')) return items('}', true, depth);
        if (take('[')) return items(']', false, depth);
        if (word("true") || word("false") || word("null")) return true;
        const size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || std::strchr(".eE+-", s_[i_]))) ++i_;
        return i_ > start && std::isdigit(static_cast<unsigned char>(s_[i_ - 1]));
    }

    const std::string& s_;
    size_t i_ = 0;
};

// JSON Lines: every line is one JSON object.
inline std::string check_jsonl(const std::string& output) {
    if (output.empty()) return {};
    bool ends = false;
    const std::vector<std::string> lines = lines_of(output, ends);
    if (!ends) return "jsonl: output does not end with a line end";
    for (const std::string& line : lines)
        if (line.empty() || line[0] != '{' || !json_checker(line).whole_value())
            return "jsonl: not one JSON object: " + line.substr(0, 300);
    return {};
}

// A page's start and one file's part of it, as put out in order.
inline std::string check_html(const std::string& output) {
    for (const char c : output)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n') return "html: a control code in the page";
    size_t rows = 0;
    for (size_t at = output.find("<tr id="); at != std::string::npos; at = output.find("<tr id=", at + 1)) ++rows;
    if (rows != 1) return "html: " + std::to_string(rows) + " file rows";
    if (output.find("<img") != std::string::npos) return "html: an <img element";
    static constexpr std::string_view k_data_block = "<script type=\"application/json\" class=\"rt-";
    for (size_t at = output.find("<script"); at != std::string::npos; at = output.find("<script", at + 1)) {
        if (output.compare(at, k_data_block.size(), k_data_block) != 0) return "html: a script that is no data block";
        const size_t open_end = output.find('>', at);
        const size_t next_tag = output.find('<', open_end);
        if (open_end == std::string::npos || next_tag == std::string::npos || output.compare(next_tag, 9, "</script>") != 0)
            return "html: a data block holds '<'";
        if (!json_checker(output.substr(open_end + 1, next_tag - open_end - 1)).whole_value())
            return "html: a data block is not JSON";
    }
    return {};
}

// Whatever the form, the shape it must have.
inline std::string check(const std::string& output, const report_settings& settings) {
    switch (settings.form) {
        case output_form::text: return check_text(output);
        case output_form::csv: return check_csv(output, settings);
        case output_form::log2timeline: return check_l2t(output, settings);
        case output_form::body_file: return check_body(output);
        case output_form::json_lines:
        case output_form::timesketch: return check_jsonl(output);
        case output_form::html: return check_html(output);
    }
    return {};
}

}  // namespace runtrail::report_shape
