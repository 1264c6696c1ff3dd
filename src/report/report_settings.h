// What the command line decides about the reports. Made once by the option parser, read-only
// afterwards.
#pragma once

#include <cstdint>
#include <string>

#include "time_format.h"

namespace runtrail {

enum class output_form { text, csv, log2timeline, body_file, json_lines, timesketch, html };

// The forms whose output is JSON Lines and nothing else: no identification lines, ever.
constexpr bool is_json_lines(output_form form) {
    return form == output_form::json_lines || form == output_form::timesketch;
}

// The forms that start with the two identification lines (the tool and the command line): all but
// the JSON Lines ones and the HTML page, which shows them in its heading.
constexpr bool has_identification_lines(output_form form) { return !is_json_lines(form) && form != output_form::html; }

struct report_settings {
    output_form form = output_form::text;
    bool verbose = false;             // CSV: volume and module columns; log2timeline: full module paths
    bool show_prefetch_path = false;  // -pf_path: the CSV's first column holds the whole path
    bool pair_datetime = false;       // one "date time" column instead of two
    bool hash_check = false;          // -hashcheck: the text report and CSV show the hash's verdict
    time_format times;

    // The delimited forms (CSV and log2timeline).
    std::string separator = " | ";
    char field_sep_char = '|';         // replaced inside values by field_sep_replacement; 0: none
    char field_sep_replacement = ';';  // 0: a space
    bool compact_fields = false;       // fields are not padded to their column widths
    bool pad_separator = true;         // a space before each time column
    bool quoted_fields = false;        // CSV text values in double quotes
    std::string user_name;             // -username: a CSV column, the log2timeline "user"
    std::string host_name;             // -hostname: a CSV column, the log2timeline "host"
    std::string program_name;          // the log2timeline "format" names the program

    // The HTML page's heading: the identification lines, and when the report was made (seconds
    // since 1970; SOURCE_DATE_EPOCH when set, so that a page can be made again byte for byte).
    std::string identification;
    int64_t made_at = 0;
};

}  // namespace runtrail
