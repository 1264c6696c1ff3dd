// The generic option parser: finds each option it knows in the argument list, removes what it
// consumed and records the outcome in cmd_params. Matching is case-insensitive and exact.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "cmd_params.h"
#include "fileio.h"
#include "name_filter.h"
#include "qn_string.h"
#include "qn_time.h"
#include "time_format.h"

namespace {

constexpr const char* k_not_offered = "This option is not offered in this build\n";
constexpr const char* k_imbalanced_alias = "imbalanced alias to true pathfiles";
constexpr const char* k_host_version_file = "/System/Library/CoreServices/SystemVersion.plist";
// The host version file is a small property list; anything larger is not read whole.
constexpr uint64_t k_host_version_cap = 0x100000;

bool arg_matches(const std::string& name, const std::string& arg) { return qn::equals_ignore_case(name, arg); }

bool imbalanced_alias() {
    std::fprintf(stderr, "%s, aborting\n", k_imbalanced_alias);
    return false;
}

void strip_one_trailing_slash(std::string& text) {
    if (!text.empty() && text.back() == '/') text.pop_back();
}

bool parse_alias(cmd_params& s, const std::string& value) {
    std::vector<std::string> parts;
    qn::split_text(value, '|', parts, true, false);
    if (value.empty() || parts.size() % 2 != 0) return imbalanced_alias();
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string alias = parts[i], target = parts[i + 1];
        qn::expand_env_vars(alias, true);
        qn::expand_env_vars(target, true);
        qn::to_lower(alias);
        s.alias_map.emplace(alias, target);  // the first value of a key wins
    }
    return true;
}

bool parse_alias_path(cmd_params& s, const std::string& value) {
    std::vector<std::string> parts;
    qn::split_text(value, '|', parts, true, false);
    if (parts.size() % 2 != 0) return imbalanced_alias();
    if (parts.empty()) {
        std::string expanded = value;
        s.alias_path_map.emplace("*", qn::expand_env_vars(expanded, true));
        return true;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string from = parts[i], to = parts[i + 1];
        qn::expand_env_vars(from, true);
        qn::expand_env_vars(to, true);
        qn::to_lower(from);
        strip_one_trailing_slash(from);
        qn::remove_char(to, '"');
        strip_one_trailing_slash(to);
        s.alias_path_map.emplace(from, to);
    }
    return true;
}

// Checks that the results file can be written. An existing file is opened without truncation
// and left exactly as it was; a file the check had to create is removed again. (The results
// file itself is opened by the program entry.) A path that already exists is never removed, so
// naming a device such as /dev/null cannot delete it.
bool probe_results_path(const std::string& path) {
    struct stat st {};
    const bool existed = ::lstat(path.c_str(), &st) == 0;
    uni::fileio probe;
    const bool opened = probe.open(path, true, false, !existed);
    probe.close();
    if (!opened) return false;
    if (!existed) ::unlink(path.c_str());
    return true;
}

bool parse_results_path(cmd_params& s, std::vector<std::string>& args) {
    std::string value;
    if (!find_value("-out", value, args) && !find_value("-outfile", value, args)) return true;
    s.results_path = qn::expand_env_vars(value, true);
    qn::replace_char(s.results_path, '\\', '/');
    s.results_path_given = true;
    s.append_results = has_arg_from("-append", args, 1);
    if (!probe_results_path(s.results_path)) {
        std::fprintf(stderr, "prob opening file %s for output, aborting\n", s.results_path.c_str());
        return false;
    }
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool read_fields(const std::string& text, char separator, size_t count, int64_t* out) {
    std::vector<std::string> parts;
    qn::split_text(text, separator, parts, true, true);
    if (parts.size() != count) return false;
    for (size_t i = 0; i < count; ++i) {
        if (parts[i].empty() || parts[i].size() > 9) return false;
        for (char c : parts[i])
            if (c < '0' || c > '9') return false;
        out[i] = std::stoll(parts[i]);
    }
    return true;
}

// A year-month-day date with the given separator and an optional hh:mm[:ss] time, as a
// FILETIME and Unix seconds; `valid` is the time library's verdict on the instant.
bool read_instant(const std::string& date, char separator, const std::string& time_text, uint64_t& filetime,
                  uint32_t& unix_seconds, bool& valid) {
    int64_t ymd[3];
    if (!read_fields(date, separator, 3, ymd)) return false;
    int64_t hms[3] = {0, 0, 0};
    if (!time_text.empty() && !read_fields(time_text, ':', 3, hms) && !read_fields(time_text, ':', 2, hms))
        return false;
    static const unsigned month_days[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int64_t y = ymd[0], m = ymd[1], d = ymd[2];
    if (m < 1 || m > 12 || d < 1 || d > month_days[m - 1]) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m == 2 && d == 29 && !leap) return false;
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return false;
    const int64_t seconds = days_from_civil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * 86400 +
                            hms[0] * 3600 + hms[1] * 60 + hms[2];
    filetime = qn::unix_to_filetime(seconds);
    const qn::time t(static_cast<int64_t>(filetime), qn::type_filetime);
    valid = filetime != 0 && t.valid;
    unix_seconds = static_cast<uint32_t>(seconds);
    return true;
}

bool split_date_time(const std::string& value, const char* default_time, std::string& date, std::string& time_text,
                     char& separator) {
    const size_t space = value.find(' ');
    date = value.substr(0, space);
    time_text = space == std::string::npos ? std::string(default_time) : value.substr(space + 1);
    if (date.empty()) return false;
    if (date.find('/') != std::string::npos)
        separator = '/';
    else if (date.find('-') != std::string::npos)
        separator = '-';
    else
        return false;
    return true;
}

bool parse_start_time(cmd_params& s, const std::string& value) {
    s.start_time_valid = false;
    s.start_time = 0;
    s.start_time_unix = 0;
    std::string date, time_text;
    char separator = 0;
    if (!split_date_time(value, "", date, time_text, separator)) return false;
    bool valid = false;
    if (read_instant(date, separator, time_text, s.start_time, s.start_time_unix, valid)) {
        s.start_time_valid = valid;
        if (!valid) s.start_time = s.start_time_unix = 0;
    }
    if (s.start_time_valid) {
        s.stop_time = UINT64_MAX;
        s.stop_time_unix = UINT32_MAX;
        s.stop_time_valid = true;
    } else {
        s.stop_time = 0;
        s.stop_time_unix = 0;
        s.stop_time_valid = false;
        std::fputs("invalid start time, ignoring\n", stderr);
    }
    return true;
}

bool parse_stop_time(cmd_params& s, const std::string& value) {
    s.stop_time_valid = false;
    s.stop_time = 0;
    s.stop_time_unix = 0;
    std::string date, time_text;
    char separator = 0;
    if (!split_date_time(value, "23:59:59", date, time_text, separator)) return false;
    bool valid = false;
    const bool read = read_instant(date, separator, time_text, s.stop_time, s.stop_time_unix, valid);
    if (read && valid && (!s.start_time_valid || s.stop_time >= s.start_time)) {
        s.stop_time_valid = true;
    } else {
        s.stop_time = 0;
        s.stop_time_unix = 0;
        s.stop_time_valid = false;
        std::fputs("invalid stop time, ignoring\n", stderr);
    }
    return true;
}

void parse_filter_option(const char* option, std::vector<filter_entry>& list, std::vector<std::string>& args) {
    std::string value;
    while (find_value(option, value, args)) {
        std::vector<filter_entry> entries = parse_filter(value);
        list.insert(list.end(), entries.begin(), entries.end());
    }
}

void probe_host_version(cmd_params& s) {
    std::vector<uint8_t> bytes;
    if (!uni::read_file(bytes, k_host_version_file, k_host_version_cap)) return;
    const std::string text(bytes.begin(), bytes.end());
    const size_t key = text.find(">ProductVersion<");
    if (key == std::string::npos) return;
    const size_t open = text.find("<string>", key + 16);
    if (open == std::string::npos) return;
    const size_t close = text.find("</s", open + 8);
    if (close == std::string::npos) return;
    s.os_product_version = text.substr(open + 8, close - open - 8);
    if (s.os_product_version.empty()) return;
    std::vector<std::string> parts;
    qn::split_text(s.os_product_version, '.', parts, true, false);
    for (size_t i = 0; i < parts.size() && i < 3; ++i) qn::parse_number(parts[i], s.os_version[i]);
}

void select_format(cmd_params& s, bool xml, bool csv, bool csvl2t, bool bodyfile, bool multiline, bool jsonl) {
    s.out_xml = xml;
    s.out_csv = csv;
    s.out_csvl2t = csvl2t;
    s.out_bodyfile = bodyfile;
    s.out_multiline = multiline;
    s.out_jsonl = jsonl;
}

}  // namespace

bool find_flag(const std::string& name, std::vector<std::string>& args, bool keep) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (!arg_matches(name, args[i])) continue;
        if (!keep) args.erase(args.begin() + static_cast<ptrdiff_t>(i));
        return true;
    }
    return false;
}

bool find_flag(const std::string& name, int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!argv[i] || !arg_matches(name, argv[i])) continue;
        for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
        --argc;
        return true;
    }
    return false;
}

bool find_value(const std::string& name, std::string& value, std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (!arg_matches(name, args[i])) continue;
        if (i + 1 >= args.size()) return false;  // nothing follows: counts as absent
        value = args[i + 1];
        args.erase(args.begin() + static_cast<ptrdiff_t>(i), args.begin() + static_cast<ptrdiff_t>(i) + 2);
        return true;
    }
    return false;
}

bool has_arg_from(const std::string& name, const std::vector<std::string>& args, size_t first_index) {
    for (size_t i = first_index; i < args.size(); ++i)
        if (arg_matches(name, args[i])) return true;
    return false;
}

void set_separator(cmd_params& s, const std::string& text, bool comma_replacement_is_semicolon) {
    s.separator = text;
    if (s.quoted_fields) {
        s.field_sep_char = 0;
        s.field_sep_replacement = 0;
        return;
    }
    std::string folded = text;
    qn::to_lower(folded);
    if (folded.find('|') != std::string::npos) {
        s.field_sep_char = '|';
        s.field_sep_replacement = ';';
    } else if (folded.find(',') != std::string::npos) {
        s.field_sep_char = ',';
        s.field_sep_replacement = comma_replacement_is_semicolon ? ';' : ' ';
    } else {
        s.field_sep_char = 0;
        s.field_sep_replacement = 0;
        if (folded == "tab" || folded == "\\t") s.separator.assign(1, '\t');
    }
}

std::vector<std::string> make_argument_list(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv && argv[i] ? argv[i] : "");
    return args;
}

bool parse_generic_options(cmd_params& s, std::vector<std::string>& args) {
    if (args.empty()) return false;

    if (s.command_line.empty()) {
        for (size_t i = 0; i < args.size(); ++i) {
            if (i) s.command_line += ' ';
            if (args[i].find(' ') != std::string::npos)
                s.command_line += '"' + args[i] + '"';
            else
                s.command_line += args[i];
        }
    }
    if (s.program_name.empty()) {
        std::string name = args[0];
        if (const size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
        if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
        s.program_name = name;
    }

    std::string value;
    if (find_flag("-pair_datetime", args)) s.pair_datetime = true;

    if (find_value("-diags", value, args)) {
        s.diag_path = value;
        s.diag_stream = std::make_unique<std::ofstream>(value, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!s.diag_stream->is_open()) {
            // An unopenable log is ignored without a message.
            s.diag_path.clear();
            s.diag_stream.reset();
        } else {
            s.diag_on = true;
            *s.diag_stream << "->" << s.command_line << '\n';
            s.diag_stream->flush();
            if (find_flag("-l2", args))
                s.diag_level = 2;
            else if (find_flag("-l3", args))
                s.diag_level = 3;
        }
    }

    if (find_flag("-csv", args)) {
        select_format(s, false, true, false, false, false, false);
        set_separator(s, ",", false);
        s.compact_fields = !s.pair_datetime;
    }
    if (find_flag("-csvgen", args)) {
        select_format(s, false, false, false, false, false, false);
        s.out_csvgen = true;
        set_separator(s, ",", false);
        s.compact_fields = true;
    }
    if (find_flag("-csvl2t", args)) {
        select_format(s, false, false, true, false, false, false);
        s.header_pending = true;
        set_separator(s, ",", false);
    }
    if (find_flag("-bodyfile", args)) {
        select_format(s, false, false, false, true, false, false);
        s.header_pending = true;
        set_separator(s, "|", false);
    }
    if (find_flag("-xml", args)) {
        select_format(s, true, false, false, false, false, false);
        s.header_pending = false;
        set_separator(s, "", false);
    }
    if (find_flag("-multiline", args)) {
        select_format(s, false, false, false, false, true, false);
        s.header_pending = true;
        s.separator.clear();
        s.field_sep_char = 0;
        s.field_sep_replacement = 0;
    }
    if (find_flag("-jsonl", args)) {
        // JSON Lines: one object per file; values are escaped by the writer, never replaced.
        select_format(s, false, false, false, false, false, true);
        s.header_pending = true;
        s.field_sep_char = 0;
        s.field_sep_replacement = 0;
    }

    if (find_value("-alias", value, args) && !parse_alias(s, value)) return false;
    if (find_value("-aliaspath", value, args) && !parse_alias_path(s, value)) return false;
    if (find_flag("-gzip", args)) s.compress_output = s.use_gzip = true;
    if (find_flag("-zlib", args)) s.compress_output = s.use_zlib = true;
    if (find_value("-threads", value, args)) qn::parse_int(value, s.thread_count);
    if (find_value("-zlibex", value, args)) {
        s.compress_output = s.use_zlibex = true;
        s.zlibex_text = value;
    }
    if (find_value("-sqlite_log", value, args) || find_value("-sqlite", value, args)) {
        std::fputs(k_not_offered, stderr);
        return false;
    }
    if (find_value("-signal", value, args)) s.signal_text = value;
    if (find_value("-hostname", value, args)) {
        s.host_name = value;
        s.host_name_given = true;
    }
    if (find_flag("-split_pathfile", args)) s.split_pathfile = true;
    if (find_value("-username", value, args)) {
        s.user_name = value;
        s.user_name_given = true;
    }
    if (find_value("-cpuinst", value, args)) qn::parse_number(value, s.cpu_instance);
    if (find_value("-cpu", value, args)) qn::parse_number(value, s.cpu_count);
    if (find_value("-fragment_files", value, args)) {
        qn::parse_number(value, s.fragment_count);
        s.separate_files = true;
    }
    if (find_flag("-separate_files", args)) s.separate_files = true;
    if (!parse_results_path(s, args)) return false;
    if (find_value("-outdir", value, args)) {
        s.output_dir = qn::expand_env_vars(value, true);
        s.output_dir_given = true;
    }
    if (find_value("-enumdir", value, args)) {
        s.enum_dir = qn::expand_env_vars(value, true);
        s.enum_dir_given = true;
    }
    if (find_value("-num_subdirs", value, args)) qn::parse_number(value, s.num_subdirs);
    if (find_flag("-profile", args)) s.profile = true;
    if (find_flag("-pipe", args)) s.pipe_input = true;

    // -filter_path narrows signature filters to a path prefix; names are matched without it.
    if (find_value("-filter_path", value, args)) {
        s.filter_path = value;
        qn::to_lower(s.filter_path);
    }
    parse_filter_option("-filter_skip", s.skip_filters, args);
    parse_filter_option("-filter", s.include_filters, args);
    // Signature filters select files by content at an offset; this tool matches by name only,
    // so the values are taken off the list and kept aside.
    while (find_value("-filter_sig", value, args)) s.filter_signatures.push_back(value);

    if (find_value("-cmd_start_time", value, args) && !parse_start_time(s, value)) return false;
    if (find_value("-cmd_stop_time", value, args) && !parse_stop_time(s, value)) return false;
    if (find_flag("-base10", args)) s.hex_numbers = false;
    if (find_flag("-base16", args)) s.hex_numbers = true;
    if (find_value("-csv_separator", value, args)) set_separator(s, value, false);
    if (find_flag("-enable_quoted_csv_fields", args)) {
        s.quoted_fields = true;
        if (s.separator.find('\t') == std::string::npos) qn::trim_blanks(s.separator);
        s.pad_separator = false;
        s.field_sep_char = 0;
    }
    if (find_flag("-no_whitespace", args)) {
        s.compact_fields = true;
        s.pad_separator = false;
        qn::remove_char(s.separator, ' ');
    }
    if (find_value("-dateformat", value, args)) {
        if (qn::date_pattern_acceptable(value)) {
            s.date_format = value;
            qn::to_lower(s.date_format);
        } else {
            std::fprintf(stderr, "invalid %s, using default format\n", value.c_str());
        }
    }
    if (find_value("-timeformat", value, args)) {
        if (qn::time_pattern_acceptable(value)) {
            s.time_format = value;
            qn::to_lower(s.time_format);
        } else {
            std::fprintf(stderr, "invalid %s, using default format\n", value.c_str());
        }
    }
    if (find_flag("-verbose", args) || find_flag("-v", args)) s.verbose = true;
    if (find_flag("-quiet", args)) s.show_progress = false;

    qn::compile_time_format(s.date_format, s.time_format, s.pair_datetime, s.time_formatter);
    probe_host_version(s);
    return true;
}
