// The settings the option parser leaves for a given command line, and one parsed record with
// known content, for the column and text writer tests.
#pragma once

#include <string>

#include "runtrail_user_context.h"
#include "time_format.h"
#include "writer_test_support.h"

namespace writer_fixtures {

using writer_test::lines_of;

constexpr uint64_t k_2014 = 130384964967891234ULL;        // 2014-03-05 12:34:56.7891234
constexpr uint64_t k_2014_whole = 130384964960000000ULL;  // 2014-03-05 12:34:56
constexpr uint64_t k_1970_plus_1 = 116444736010000000ULL; // 1970-01-01 00:00:01
constexpr uint64_t k_2000_leap = 125962992000000000ULL;   // 2000-02-29 12:00:00
constexpr uint64_t k_2038 = 137919572480000000ULL;        // 2038-01-19 03:14:08

struct options {
    bool csv = true;              // -csv (else the tool's default " | " table of -pipe -enumdir)
    bool pair_datetime = false;   // -pair_datetime
    bool no_whitespace = false;   // -no_whitespace
    bool verbose = false;         // -verbose
    bool quoted = false;          // -enable_quoted_csv_fields
    std::string csv_separator{};  // -csv_separator
    std::string user_name{}, host_name{};
    bool pf_path = false;
    bool text_report = false;     // -longform (the text report)
};

inline void configure(runtrail_user_context& ctx, const options& o) {
    ctx.tool_reset();
    ctx.pair_datetime = o.pair_datetime;
    auto set_separator = [&ctx](const std::string& text) {
        ctx.separator = text == "tab" || text == "\\t" ? "\t" : text;
        const bool bar = text.find('|') != std::string::npos, comma = text.find(',') != std::string::npos;
        ctx.field_sep_char = ctx.quoted_fields ? 0 : bar ? '|' : comma ? ',' : 0;
        ctx.field_sep_replacement = ctx.field_sep_char == '|' ? ';' : ctx.field_sep_char == ',' ? ' ' : 0;
    };
    if (o.csv) ctx.out_csv = true, set_separator(","), ctx.compact_fields = !ctx.pair_datetime;
    if (!o.user_name.empty()) ctx.user_name = o.user_name, ctx.user_name_given = true;
    if (!o.host_name.empty()) ctx.host_name = o.host_name, ctx.host_name_given = true;
    if (!o.csv_separator.empty()) set_separator(o.csv_separator);
    if (o.quoted) {
        ctx.quoted_fields = true;
        if (ctx.separator.find('\t') == std::string::npos) {
            const size_t first = ctx.separator.find_first_not_of(" \t\r\n");
            const size_t last = ctx.separator.find_last_not_of(" \t\r\n");
            ctx.separator = first == std::string::npos ? "" : ctx.separator.substr(first, last - first + 1);
        }
        ctx.pad_separator = false;
        ctx.field_sep_char = 0;
    }
    if (o.no_whitespace) {
        ctx.compact_fields = true;
        ctx.pad_separator = false;
        std::erase(ctx.separator, ' ');
    }
    ctx.verbose = o.verbose || o.text_report;
    qn::compile_time_format(ctx.date_format, ctx.time_format, ctx.pair_datetime, ctx.time_formatter);
    ctx.source_label = "PREFETCH";
    ctx.show_target_path = ctx.show_prev_times = true;
    ctx.show_prefetch_path = o.pf_path;
    if (o.text_report) {
        ctx.out_xml = ctx.out_csv = ctx.out_csvl2t = ctx.out_bodyfile = false;
        ctx.field_sep_char = ctx.field_sep_replacement = 0;
    }
}

// One parsed record with known content.
inline void fill_record(runtrail_user_context& ctx) {
    ctx.reset_record();
    ctx.file_path = "/cases/CMD.EXE-4A81B364.pf";
    ctx.file_name = "CMD.EXE-4A81B364.pf";
    ctx.exe_name = "CMD.EXE";
    ctx.run_count = 3;
    ctx.last_run_time = k_2014;
    ctx.prefetch_file_times[k_file_time_modified] = k_2014_whole;
    ctx.prefetch_file_times[k_file_time_accessed] = 0;
    ctx.prefetch_file_times[k_file_time_changed] = k_1970_plus_1;
    ctx.target_path = "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE";
    ctx.prev_run_times = {k_2038, k_2000_leap};
    ctx.modules[100] = "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL";
    ctx.modules[200] = "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE";
    ctx.volume_paths = {"\\DEVICE\\HARDDISKVOLUME1"};
    ctx.volume_serials = {0x1a2b3c4d};
    ctx.volume_times = {k_2014};
    ctx.volume_dirs = {{{1, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS"}}};
}

}  // namespace writer_fixtures
