#include "options.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "ascii_text.h"
#include "env_expansion.h"
#include "usage.h"

namespace runtrail {
namespace {

constexpr const char* k_help_options[] = {"-h", "-help", "/?", "--help"};

// Options of other builds of this tool family that this one does not offer: refused, so that a
// script relying on one fails instead of getting a report that ignores it.
constexpr const char* k_not_offered[] = {
    "-sqlite",    "-sqlite_log", "-gzip",          "-zlib",           "-zlibex",
    "-cpu",       "-cpuinst",    "-fragment_files", "-separate_files", "-xml",            "-multiline",
    "-csvgen",    "-alias",      "-aliaspath",     "-signal",         "-split_pathfile", "-outdir",
    "-filter_path", "-filter_sig", "-cmd_start_time", "-cmd_stop_time", "-base10",      "-base16",
    "-l2",        "-l3",
#ifndef RUNTRAIL_WITH_IMAGES
    "-image",
#endif
};
constexpr const char* k_not_offered_message = "This option is not offered in this build";

// What the pass collects; the settings are derived from it once every argument is read.
struct collected {
    std::optional<output_form> form;  // the last format option
    bool pipe = false;
    bool walk = false;
    bool verbose = false;
    bool pair_datetime = false;
    bool hash_check = false;
    bool no_whitespace = false;
    bool quoted_fields = false;
    bool show_prefetch_path = false;
    bool quiet = false;
    bool profile = false;
    bool append = false;
    std::string walk_root;
    std::optional<std::string> image;
    std::optional<std::string> walk_depth;
    std::optional<std::string> threads;
    std::optional<std::string> csv_separator;
    std::optional<std::string> out;
    std::optional<std::string> outfile;
    std::string diag_path;
    std::string user_name;
    std::string host_name;
    time_format times;
    std::vector<filter_entry> include_filters;
    std::vector<filter_entry> skip_filters;
    std::vector<std::string> names;
    std::vector<std::string> warnings;
};

using option_action = void (*)(collected&, const std::string& value);

struct option_spec {
    const char* name;
    bool takes_value;
    option_action apply;
};

void append_filters(std::vector<filter_entry>& list, const std::string& value) {
    std::vector<filter_entry> entries = parse_filter(value);
    list.insert(list.end(), entries.begin(), entries.end());
}

constexpr option_spec k_options[] = {
    {"-csv", false, [](collected& c, const std::string&) { c.form = output_form::csv; }},
    {"-csvl2t", false, [](collected& c, const std::string&) { c.form = output_form::log2timeline; }},
    {"-bodyfile", false, [](collected& c, const std::string&) { c.form = output_form::body_file; }},
    {"-jsonl", false, [](collected& c, const std::string&) { c.form = output_form::json_lines; }},
    {"-timesketch", false, [](collected& c, const std::string&) { c.form = output_form::timesketch; }},
    {"-html", false, [](collected& c, const std::string&) { c.form = output_form::html; }},
    {"-longform", false, [](collected& c, const std::string&) { c.form = output_form::text; }},
    {"-verbose", false, [](collected& c, const std::string&) { c.verbose = true; }},
    {"-v", false, [](collected& c, const std::string&) { c.verbose = true; }},
    {"-pipe", false, [](collected& c, const std::string&) { c.pipe = true; }},
    {"-enumdir", true,
     [](collected& c, const std::string& v) {
         c.walk = true;
         c.walk_root = expand_env_vars(v);
     }},
#ifdef RUNTRAIL_WITH_IMAGES
    {"-image", true, [](collected& c, const std::string& v) { c.image = expand_env_vars(v); }},
#endif
    {"-num_subdirs", true, [](collected& c, const std::string& v) { c.walk_depth = v; }},
    {"-threads", true, [](collected& c, const std::string& v) { c.threads = v; }},
    {"-filter", true, [](collected& c, const std::string& v) { append_filters(c.include_filters, v); }},
    {"-filter_skip", true, [](collected& c, const std::string& v) { append_filters(c.skip_filters, v); }},
    {"-hostname", true, [](collected& c, const std::string& v) { c.host_name = v; }},
    {"-username", true, [](collected& c, const std::string& v) { c.user_name = v; }},
    {"-dateformat", true,
     [](collected& c, const std::string& v) {
         if (!c.times.set_date_pattern(v)) c.warnings.push_back("invalid " + v + ", using default format");
     }},
    {"-timeformat", true,
     [](collected& c, const std::string& v) {
         if (!c.times.set_time_pattern(v)) c.warnings.push_back("invalid " + v + ", using default format");
     }},
    {"-pair_datetime", false, [](collected& c, const std::string&) { c.pair_datetime = true; }},
    {"-hashcheck", false, [](collected& c, const std::string&) { c.hash_check = true; }},
    {"-no_whitespace", false, [](collected& c, const std::string&) { c.no_whitespace = true; }},
    {"-csv_separator", true, [](collected& c, const std::string& v) { c.csv_separator = v; }},
    {"-enable_quoted_csv_fields", false, [](collected& c, const std::string&) { c.quoted_fields = true; }},
    {"-pf_path", false, [](collected& c, const std::string&) { c.show_prefetch_path = true; }},
    {"-quiet", false, [](collected& c, const std::string&) { c.quiet = true; }},
    {"-out", true, [](collected& c, const std::string& v) { c.out = v; }},
    {"-outfile", true, [](collected& c, const std::string& v) { c.outfile = v; }},
    {"-append", false, [](collected& c, const std::string&) { c.append = true; }},
    {"-diags", true, [](collected& c, const std::string& v) { c.diag_path = v; }},
    {"-profile", false, [](collected& c, const std::string&) { c.profile = true; }},
};

const option_spec* find_option(const std::string& arg) {
    for (const option_spec& option : k_options)
        if (equals_ignore_case(arg, option.name)) return &option;
    return nullptr;
}

bool is_not_offered(const std::string& arg) {
    for (const char* name : k_not_offered)
        if (equals_ignore_case(arg, name)) return true;
    return false;
}

bool looks_like_option(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// The separator of the delimited forms and how values are kept from it, in the order the options
// act on it: the form's own separator, then -csv_separator, -enable_quoted_csv_fields and
// -no_whitespace.
void set_separator(report_settings& r, const std::string& text) {
    r.separator = text;
    const std::string folded = lower_ascii(text);
    if (folded.find('|') != std::string::npos) {
        r.field_sep_char = '|';
        r.field_sep_replacement = ';';
    } else if (folded.find(',') != std::string::npos) {
        r.field_sep_char = ',';
        r.field_sep_replacement = ' ';
    } else {
        r.field_sep_char = 0;
        r.field_sep_replacement = 0;
        if (folded == "tab" || folded == "\\t") r.separator.assign(1, '\t');
    }
}

void trim_blanks(std::string& text) {
    const char* const blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text = text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

report_settings derive_report_settings(const collected& c, const std::string& program_name) {
    report_settings r;
    r.times = c.times;
    r.pair_datetime = c.pair_datetime;
    r.hash_check = c.hash_check;
    r.show_prefetch_path = c.show_prefetch_path;
    r.user_name = c.user_name;
    r.host_name = c.host_name;
    r.program_name = program_name;
    r.verbose = c.verbose;
    if (c.form) {
        r.form = *c.form;
    } else if (c.pipe && c.walk && !c.verbose) {
        // Without a format option, a run that both pipes and walks without asking for verbose
        // output keeps the padded " | " table.
        r.form = output_form::csv;
    } else {
        r.form = output_form::text;
    }
    switch (r.form) {
        case output_form::text:
            r.verbose = true;
            r.field_sep_char = r.field_sep_replacement = 0;
            break;
        case output_form::csv:
            if (!c.form) break;  // the padded " | " table
            set_separator(r, ",");
            r.compact_fields = !c.pair_datetime;
            break;
        case output_form::log2timeline:
            set_separator(r, ",");
            break;
        case output_form::body_file:
            set_separator(r, "|");
            break;
        case output_form::json_lines:
        case output_form::timesketch:
        case output_form::html:
            r.field_sep_char = r.field_sep_replacement = 0;
            break;
    }
    if (c.csv_separator) set_separator(r, *c.csv_separator);
    if (c.quoted_fields) {
        r.quoted_fields = true;
        if (r.separator.find('\t') == std::string::npos) trim_blanks(r.separator);
        r.pad_separator = false;
        r.field_sep_char = 0;
    }
    if (c.no_whitespace) {
        r.compact_fields = true;
        r.pad_separator = false;
        std::erase(r.separator, ' ');
    }
    return r;
}

// The most workers -threads asks for: far more than any workstation has cores.
constexpr uint32_t k_most_threads = 1024;

// The deepest walk -num_subdirs accepts. A directory n levels below the root has a path of at least
// 2n bytes ("x/" per level), so no deeper level fits within the system's path limit.
constexpr uint32_t k_deepest_walk = PATH_MAX / 2;

// A whole number from `least` to `most` written in decimal digits alone; nothing for anything else
// (a sign, a base prefix, blanks, a number out of range).
std::optional<uint32_t> whole_number_of(const std::string& value, uint32_t least, uint32_t most) {
    if (value.empty()) return std::nullopt;
    uint32_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<uint32_t>(c - '0');
        if (n > most) return std::nullopt;
    }
    if (n < least) return std::nullopt;
    return n;
}

// When a report is said to be made: SOURCE_DATE_EPOCH (seconds since 1970, digits alone) when set,
// so that a page can be made again byte for byte; else now.
int64_t report_made_at() {
    if (const char* pinned = std::getenv("SOURCE_DATE_EPOCH"); pinned && *pinned) {
        int64_t seconds = 0;
        bool digits = true;
        for (const char* c = pinned; *c && digits; ++c) {
            digits = *c >= '0' && *c <= '9' && seconds < INT64_MAX / 10 - 9;
            seconds = seconds * 10 + (*c - '0');
        }
        if (digits) return seconds;
    }
    return static_cast<int64_t>(std::time(nullptr));
}

std::string joined_command_line(const std::vector<std::string>& args) {
    std::string text;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) text += ' ';
        text += args[i].find(' ') != std::string::npos ? '"' + args[i] + '"' : args[i];
    }
    return text;
}

}  // namespace

std::string program_name_of(const std::string& first_argument) {
    std::string name = first_argument;
    if (const size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    return name;
}

command_line parse_command_line(const std::vector<std::string>& args) {
    command_line result;
    if (args.size() <= 1) {
        result.result = command_line::outcome::help;
        return result;
    }
    for (const std::string& arg : args)
        for (const char* help : k_help_options)
            if (equals_ignore_case(arg, help)) {
                result.result = command_line::outcome::help;
                return result;
            }

    collected c;
    // The header block of a failed run goes to standard output unless JSON Lines or the HTML page
    // were asked for.
    for (const std::string& arg : args) {
        if (equals_ignore_case(arg, "-jsonl") || equals_ignore_case(arg, "-timesketch") || equals_ignore_case(arg, "-html"))
            result.without_header_block = true;
        else if (equals_ignore_case(arg, "-csv") || equals_ignore_case(arg, "-csvl2t") ||
                 equals_ignore_case(arg, "-bodyfile") || equals_ignore_case(arg, "-longform"))
            result.without_header_block = false;
    }
    auto fail = [&result](std::string message, bool with_usage, bool with_header_block) {
        result.result = command_line::outcome::failed;
        result.error = std::move(message);
        result.error_with_usage = with_usage;
        result.error_with_header_block = with_header_block;
        return result;
    };

    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const option_spec* option = find_option(arg)) {
            std::string value;
            if (option->takes_value) {
                if (i + 1 >= args.size()) return fail(std::string("option ") + option->name + " needs a value", true, false);
                value = args[++i];
            }
            option->apply(c, value);
        } else if (is_not_offered(arg)) {
            result.warnings = c.warnings;
            return fail(k_not_offered_message, false, true);
        } else if (looks_like_option(arg)) {
            result.warnings = c.warnings;
            return fail("unknown option: " + arg, true, false);
        } else {
            c.names.push_back(arg);
        }
    }
    result.warnings = c.warnings;

    run_settings& s = result.settings;
    s.report = derive_report_settings(c, program_name_of(args[0]));
    s.include_filters = std::move(c.include_filters);
    s.skip_filters = std::move(c.skip_filters);
    s.quiet = c.quiet;
    s.profile = c.profile;
    s.diag_path = c.diag_path;
    s.command_line = joined_command_line(args);
    if (s.report.form == output_form::html) {
        s.report.identification = header_block(args);
        s.report.made_at = report_made_at();
    }
    if (c.out || c.outfile) {
        s.results_path = expand_env_vars(c.out ? *c.out : *c.outfile);
        std::replace(s.results_path.begin(), s.results_path.end(), '\\', '/');
        s.append_results = c.append;
    }

    // Options whose value is a whole number within bounds.
    const struct {
        const char* name;
        const std::optional<std::string>& value;
        uint32_t least, most;
        uint32_t& setting;
    } numbers[] = {{"-num_subdirs", c.walk_depth, 0, k_deepest_walk, s.walk_depth},
                   {"-threads", c.threads, 1, k_most_threads, s.threads}};
    for (const auto& n : numbers) {
        if (!n.value) continue;
        const std::optional<uint32_t> number = whole_number_of(*n.value, n.least, n.most);
        if (!number)
            return fail(std::string("invalid ") + n.name + " value: " + *n.value + " (a whole number from " +
                            std::to_string(n.least) + " to " + std::to_string(n.most) + ")",
                        false, false);
        n.setting = *number;
    }
    if (c.image) {
        if (c.pipe) return fail("-image reads the names from the image: -pipe cannot go with it", true, false);
        if (!c.names.empty()) return fail("unexpected argument: " + c.names.front(), true, false);
        s.input = input_mode::disk_image;
        s.image_path = *c.image;
        // Without -enumdir each volume's Prefetch folder is read; "-enumdir ''" means the root.
        s.walk_root = c.walk ? (c.walk_root.empty() ? "/" : c.walk_root) : std::string();
    } else if (c.pipe || c.walk) {
        // With both, the names come from standard input.
        s.input = c.pipe ? input_mode::standard_input : input_mode::directory_walk;
        s.walk_root = c.walk_root;
        if (!c.names.empty()) return fail("unexpected argument: " + c.names.front(), true, false);
    } else {
        if (c.names.empty()) return fail("no prefetch file named", true, false);
        if (c.names.size() > 1) return fail("unexpected argument: " + c.names[1], true, false);
        s.input = input_mode::single_file;
        s.file_path = expand_env_vars(c.names.front());
    }
    result.result = command_line::outcome::run;
    return result;
}

}  // namespace runtrail
