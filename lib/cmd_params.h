// The settings record: everything the generic option parser reads from the command line, and
// the per-run state the writers share (the CSV column list, whether a header is still due).
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "name_filter.h"
#include "qn_variant_lite.h"
#include "time_format.h"

struct cmd_params {
    explicit cmd_params(uint64_t launch_time = 0, bool with_buffer = false);
    virtual ~cmd_params();
    cmd_params(const cmd_params&) = delete;
    cmd_params& operator=(const cmd_params&) = delete;

    // Gives every field its default.
    void reset();

    // "->" log lines of -diags; no-ops unless the log is open.
    void diag_line(const std::string& message);
    // "->" [label " : "] formatted message [": " suffix], cut to the format's length plus 254.
    void diag_linef(const char* label, const char* suffix, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    // The same, written only when `level` is at most diag_level.
    void diag_linef_level(int32_t level, const char* label, const char* suffix, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

    // The report buffer when there is one, else the process-wide stream that discards everything.
    std::ostream& report_stream();

    uint64_t launch_time = 0;
    std::string command_line;
    std::string program_name;
    std::string version_text;
    std::string results_path;
    std::string output_dir;
    std::string user_name;
    std::string host_name;
    std::string source_label;
    std::map<std::string, std::string> alias_path_map;
    std::map<std::string, std::string> alias_map;

    std::string date_format;
    std::string time_format;
    qn::time_format_spec time_formatter{};

    char field_sep_char = '|';
    char field_sep_replacement = ';';
    std::string separator;
    bool compact_fields = false;
    bool pad_separator = true;
    bool hex_numbers = true;
    bool user_name_given = false;
    bool host_name_given = false;
    bool split_pathfile = false;
    bool quoted_fields = false;

    bool compress_output = false;
    bool use_gzip = false;
    bool use_zlib = false;
    bool use_zlibex = false;
    std::string zlibex_text;
    int32_t thread_count = 0;
    bool output_dir_given = false;
    bool results_path_given = false;
    bool append_results = false;  // -append: extend an existing results file
    uint32_t cpu_instance = 0xFFFFFFFF;
    uint32_t cpu_count = 0;
    bool separate_files = false;
    uint32_t fragment_count = 0;

    bool out_xml = false;
    bool out_csv = false;
    bool out_csvl2t = false;
    bool out_csvgen = false;
    bool out_bodyfile = false;
    bool out_multiline = false;
    bool out_jsonl = false;
    bool verbose = true;
    bool show_progress = true;
    bool pair_datetime = false;
    bool header_pending = true;
    std::vector<qn_variant_lite> header_columns;

    bool diag_on = false;
    int32_t diag_level = 0;
    std::unique_ptr<std::ostringstream> report_buffer;
    std::unique_ptr<std::ofstream> diag_stream;
    std::string diag_path;
    bool profile = false;
    std::string signal_text;

    std::vector<filter_entry> include_filters;
    std::vector<filter_entry> skip_filters;
    std::string filter_path;                     // -filter_path, lower-cased
    std::vector<std::string> filter_signatures;  // -filter_sig values (names are matched without them)
    bool pipe_input = false;
    std::string enum_dir;
    uint32_t num_subdirs = 0;
    bool enum_dir_given = false;

    std::string os_product_version;
    uint32_t os_version[3] = {0, 0, 0};

    bool start_time_valid = false;
    uint64_t start_time = 0;
    uint32_t start_time_unix = 0;
    bool stop_time_valid = false;
    uint64_t stop_time = 0;
    uint32_t stop_time_unix = 0;
};

// Case-insensitive, exact option matching over the argument list (program name first).
bool find_flag(const std::string& name, std::vector<std::string>& args, bool keep = false);
// The same on the process arguments (from index 1); a match is removed by shifting the rest down.
bool find_flag(const std::string& name, int& argc, char** argv);
bool find_value(const std::string& name, std::string& value, std::vector<std::string>& args);
bool has_arg_from(const std::string& name, const std::vector<std::string>& args, size_t first_index);

// The argument list of a process: program name first, a missing argument as empty text.
std::vector<std::string> make_argument_list(int argc, const char* const* argv);

void set_separator(cmd_params& settings, const std::string& text, bool comma_replacement_is_semicolon);

// Runs the generic option parser: removes every option it recognises from args and records the
// outcome in settings. False means the run must end; the message has been written already.
bool parse_generic_options(cmd_params& settings, std::vector<std::string>& args);
