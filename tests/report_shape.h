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

// Fields of one line as a CSV reader splits it, honouring double quotes (a quote opens a field
// only at its start, after any padding spaces; "" inside a quoted field is one quote) when
// `quoted`. -1 when a quoted field is still open at the end of the line. It jumps from separator
// to quote with the library's searches, each place found once: a line of a million names is
// counted in linear time, fast even in an instrumented build.
inline int count_fields(std::string_view line, std::string_view key, bool quoted) {
    if (key.empty()) return 1;
    constexpr size_t none = std::string_view::npos;
    int fields = 1;
    bool in_quotes = false;
    size_t field_begin = 0, next_key = line.find(key), next_quote = quoted ? line.find('"') : none;
    for (size_t i = 0; i < line.size();) {
        if (next_key != none && next_key < i) next_key = line.find(key, i);
        if (next_quote != none && next_quote < i) next_quote = line.find('"', i);
        if (in_quotes) {
            if (next_quote == none) return -1;
            const bool doubled = next_quote + 1 < line.size() && line[next_quote + 1] == '"';
            in_quotes = doubled;
            i = next_quote + (doubled ? 2 : 1);
        } else if (next_quote != none && (next_key == none || next_quote < next_key)) {
            in_quotes = line.find_first_not_of(' ', field_begin) == next_quote;
            i = next_quote + 1;
        } else if (next_key != none) {
            ++fields;
            i = field_begin = next_key + key.size();
        } else {
            break;
        }
    }
    return in_quotes ? -1 : fields;
}

// The first line of the output that `fault` finds wrong (it returns what is wrong, or an empty
// text), named by the form and the line's number; a missing last line end is wrong too.
template <typename Fault>
std::string first_bad_line(const std::string& output, const char* form, Fault fault) {
    if (output.back() != '\n') return std::string(form) + ": output does not end with a line end";
    size_t number = 0;
    for (size_t start = 0; start < output.size(); ++number) {
        const size_t end = output.find('\n', start);
        const std::string_view line(output.data() + start, end - start);
        start = end + 1;
        if (const std::string what = fault(line); !what.empty())
            return std::string(form) + ": line " + std::to_string(number) + " " + what + ": " + std::string(line.substr(0, 300));
    }
    return {};
}

inline std::string check_lines(const std::string& output, const std::string& key, bool quoted, int expected,
                               const char* form) {
    return first_bad_line(output, form, [&](std::string_view line) -> std::string {
        if (line.find('\r') != std::string_view::npos) return "holds a CR";
        const int fields = count_fields(line, key, quoted);
        return fields == expected ? "" : "has " + std::to_string(fields) + " fields, expected " + std::to_string(expected);
    });
}

// A minimal JSON syntax check: one value, strings without raw control characters and with known
// escapes, nothing after the value. One pass over the text, no copies: a report of a million names
// is checked in about the time it took to write.
class json_checker {
public:
    explicit json_checker(std::string_view text) : s_(text) {}
    bool whole_value() { return value(0) && (space(), i_ == s_.size()); }

private:
    void space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }
    bool take(char c) { return space(), i_ < s_.size() && s_[i_] == c && (++i_, true); }
    bool word(std::string_view w) { return s_.substr(i_, w.size()) == w && (i_ += w.size(), true); }
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
            } else if (std::string_view("\"\\/bfnrt").find(s_[i_]) == std::string_view::npos) {
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

    std::string_view s_;
    size_t i_ = 0;
};

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

// Whatever the form, the shape it must have. The text report has its names cut into lines only
// where it means to; a CSV line has as many fields as the header line; the body-file separator is
// always "|", whatever the run's separator.
inline std::string check(const std::string& output, const report_settings& settings) {
    if (settings.form == output_form::text) {
        if (output.find('\r') != std::string::npos) return "text: CR in the report";
        if (!output.empty() && output.back() != '\n') return "text: report does not end with a line end";
        return {};
    }
    if (output.empty()) return {};
    // A reader splits on the separator without its padding spaces.
    const size_t first = settings.separator.find_first_not_of(' ');
    const std::string key = first == std::string::npos ? settings.separator
                            : settings.separator.substr(first, settings.separator.find_last_not_of(' ') - first + 1);
    const bool quoted = settings.quoted_fields;
    switch (settings.form) {
        case output_form::csv:
            return check_lines(output, key, quoted, count_fields(std::string_view(output).substr(0, output.find('\n')), key, quoted), "csv");
        case output_form::log2timeline:
            return check_lines(output, key, quoted, settings.pair_datetime ? 16 : 17, "l2t");
        case output_form::body_file: return check_lines(output, "|", false, 11, "body");
        case output_form::html: return check_html(output);
        default:  // JSON Lines: every line is one JSON object
            return first_bad_line(output, "jsonl", [](std::string_view line) {
                return !line.empty() && line[0] == '{' && json_checker(line).whole_value() ? "" : "is not one JSON object";
            });
    }
}

}  // namespace runtrail::report_shape
