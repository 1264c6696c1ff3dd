#include "cmd_params.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "output_stream.h"

cmd_params::cmd_params(uint64_t launch, bool with_buffer) {
    reset();
    launch_time = launch;
    if (with_buffer) report_buffer = std::make_unique<std::ostringstream>();
}

cmd_params::~cmd_params() {
    if (diag_on && diag_stream) diag_stream->close();
}

namespace {

// Longest formatted diagnostic message beyond the length of its format.
constexpr size_t k_diag_message_extra = 254;

std::string format_message(const char* format, va_list ap) {
    const size_t limit = std::strlen(format) + k_diag_message_extra;
    std::string text(limit + 1, '\0');
    const int n = std::vsnprintf(text.data(), text.size(), format, ap);
    text.resize(n < 0 ? 0 : std::min(static_cast<size_t>(n), limit));
    return text;
}

}  // namespace

void cmd_params::diag_linef(const char* label, const char* suffix, const char* format, ...) {
    if (!diag_on || !diag_stream || !format) return;
    va_list ap;
    va_start(ap, format);
    const std::string message = format_message(format, ap);
    va_end(ap);
    *diag_stream << "->";
    if (label) *diag_stream << label << " : ";
    *diag_stream << message;
    if (suffix) *diag_stream << ": " << suffix;
    *diag_stream << '\n';
    diag_stream->flush();
}

void cmd_params::diag_linef_level(int32_t level, const char* label, const char* suffix, const char* format, ...) {
    if (!diag_on || !diag_stream || !format || level > diag_level) return;
    va_list ap;
    va_start(ap, format);
    const std::string message = format_message(format, ap);
    va_end(ap);
    diag_linef(label, suffix, "%s", message.c_str());
}

std::ostream& cmd_params::report_stream() {
    if (report_buffer) return *report_buffer;
    return uni::null_stream();
}

void cmd_params::reset() {
    command_line.clear();
    program_name.clear();
    version_text.clear();
    results_path.clear();
    output_dir.clear();
    user_name.clear();
    host_name.clear();
    source_label.clear();
    alias_path_map.clear();
    alias_map.clear();
    date_format = qn::k_default_date_format;
    time_format = qn::k_default_time_format;
    time_formatter = qn::time_format_spec{};
    field_sep_char = '|';
    field_sep_replacement = ';';
    separator = " | ";
    compact_fields = false;
    pad_separator = true;
    hex_numbers = true;
    user_name_given = host_name_given = split_pathfile = quoted_fields = false;
    compress_output = use_gzip = use_zlib = use_zlibex = false;
    zlibex_text.clear();
    thread_count = 0;
    output_dir_given = results_path_given = append_results = false;
    cpu_instance = 0xFFFFFFFF;
    cpu_count = 0;
    separate_files = false;
    fragment_count = 0;
    out_xml = out_csv = out_csvl2t = out_csvgen = out_bodyfile = out_multiline = out_jsonl = false;
    verbose = true;
    show_progress = true;
    pair_datetime = false;
    header_pending = true;
    header_columns.clear();
    diag_on = false;
    diag_level = 0;
    diag_stream.reset();
    diag_path.clear();
    profile = false;
    signal_text.clear();
    include_filters.clear();
    skip_filters.clear();
    filter_path.clear();
    filter_signatures.clear();
    pipe_input = false;
    enum_dir.clear();
    num_subdirs = 0;
    enum_dir_given = false;
    os_product_version.clear();
    os_version[0] = os_version[1] = os_version[2] = 0;
    start_time_valid = stop_time_valid = false;
    start_time = stop_time = 0;
    start_time_unix = stop_time_unix = 0;
}

void cmd_params::diag_line(const std::string& message) {
    if (!diag_on || !diag_stream) return;
    *diag_stream << "->" << message << '\n';
    diag_stream->flush();
}
