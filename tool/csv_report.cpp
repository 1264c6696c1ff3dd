// -csv: one row per prefetch file under one header per run. The columns are declared once, with
// the first file reported; the column writer lays out, pads, quotes and protects the fields.
#include <ostream>
#include <string>
#include <string_view>

#include "qn_variant_lite.h"
#include "report_format.h"
#include "report_writers.h"
#include "runtrail_user_context.h"

namespace {

constexpr int64_t k_name_width = 42;
constexpr int64_t k_app_name_width = 30;
constexpr int64_t k_times_ran_width = 9;
constexpr int64_t k_path_width = 90;
constexpr int64_t k_count_width = 3;
constexpr int64_t k_volume_width = 6;
constexpr int64_t k_serial_width = 9;
constexpr int64_t k_module_list_width = 10;
constexpr int64_t k_account_width = 9;

const char* const k_list_joiner = "; ";

bool volumes_and_modules_shown(const runtrail_user_context& ctx) { return ctx.verbose && ctx.compact_fields; }

// With -pf_path the first column holds the whole path; its width grows with the directory part.
int64_t first_column_width(const runtrail_user_context& ctx) {
    if (!ctx.show_prefetch_path) return k_name_width;
    size_t slash = ctx.file_path.rfind('\\');
    if (slash == std::string::npos) slash = ctx.file_path.rfind('/');
    if (slash == std::string::npos) return k_name_width;
    return static_cast<int64_t>(slash) + k_name_width + 1;
}

void declare_columns(runtrail_user_context& ctx) {
    ctx.header_columns.clear();
    const int64_t d = static_cast<int64_t>(ctx.date_format.size());
    const int64_t t = static_cast<int64_t>(ctx.time_format.size());
    add_column(ctx, "prefetch file name", first_column_width(ctx));
    add_column(ctx, "app name", k_app_name_width);
    add_column(ctx, "times ran", k_times_ran_width);
    if (ctx.pair_datetime) {
        for (const char* name : {"last run [UTC]", "modify date [UTC]", "access date [UTC]", "changed date [UTC]"})
            add_column(ctx, name, d + t + 1);
    } else {
        for (const char* name : {"last run", "mdate", "adate", "cdate"}) {
            add_column(ctx, name, d);
            add_time_column(ctx, "time-UTC", t);
        }
    }
    if (ctx.show_target_path) add_column(ctx, "path/appname", k_path_width);
    if (volumes_and_modules_shown(ctx)) {
        add_column(ctx, "Num Vols", k_count_width);
        add_column(ctx, "volume(s)", k_volume_width);
        add_column(ctx, "volume serial(s)", k_serial_width);
        add_column(ctx, "volume date/time(s) (UTC)", d + t + 1);
        add_column(ctx, "Num modules", k_count_width);
        add_column(ctx, "Module list", k_module_list_width);
    }
    if (ctx.show_prev_times) add_column(ctx, "previous dates run", d + t + 1);
    if (!ctx.user_name.empty()) add_column(ctx, "user acct", k_account_width);
    if (!ctx.host_name.empty()) add_column(ctx, "host name", k_account_width);
    if (ctx.compact_fields)
        for (qn_variant_lite& column : ctx.header_columns) column.width = 0;
}

bool has_column(const runtrail_user_context& ctx, std::string_view name) {
    for (const qn_variant_lite& column : ctx.header_columns)
        if (column.text == name) return true;
    return false;
}

}  // namespace

int write_csv_report(std::ostream& out, runtrail_user_context& ctx) {
    if (!ctx.out_csv) return 0;
    // Columns are declared with the first file; a run that has already written its header (or
    // lost its list) keeps a consistent count by declaring them again without a second header.
    if (ctx.header_pending || ctx.header_columns.empty()) {
        declare_columns(ctx);
        if (ctx.header_pending) write_header_row(out, ctx);
    }

    // The optional cells follow the columns that were declared, so rows and header agree for the
    // whole run even if a setting were to change after the first file.
    const bool paired = has_column(ctx, "last run [UTC]");
    const bool with_target_path = has_column(ctx, "path/appname");
    const bool with_volumes = has_column(ctx, "Num Vols");
    const bool with_prev_times = has_column(ctx, "previous dates run");
    const bool with_user = has_column(ctx, "user acct");
    const bool with_host = has_column(ctx, "host name");

    csv_row row;
    init_row(row, static_cast<int32_t>(ctx.header_columns.size()), ctx.quoted_fields ? k_flag_quoted : 0);
    const uint16_t time_type = paired ? cell_filetime_paired : cell_filetime_split;
    int32_t p = 0;
    p += set_text_cell(row, p, ctx.show_prefetch_path ? ctx.file_path : ctx.file_name, cell_text, 0);
    p += set_text_cell(row, p, ctx.exe_name, cell_text, 0);
    p += set_number_cell(row, p, ctx.run_count, cell_uint, k_flag_decimal | k_tag_run_count);
    p += set_number_cell(row, p, ctx.last_run_time, time_type, k_tag_last_run);
    p += set_number_cell(row, p, ctx.prefetch_file_times[k_file_time_modified], time_type, k_tag_modified);
    p += set_number_cell(row, p, ctx.prefetch_file_times[k_file_time_accessed], time_type, k_tag_accessed);
    p += set_number_cell(row, p, ctx.prefetch_file_times[k_file_time_changed], time_type, k_tag_changed);
    if (with_target_path) p += set_text_cell(row, p, ctx.target_path, cell_text, 0);
    if (with_volumes) {
        p += set_number_cell(row, p, ctx.volume_paths.size(), cell_uint, k_flag_decimal);
        std::string paths, serials, created;
        for (size_t i = 0; i < ctx.volume_paths.size(); ++i) {
            if (i > 0) {
                paths += k_list_joiner;
                serials += k_list_joiner;
                created += k_list_joiner;
            }
            paths += ctx.volume_paths[i];
            serials += format_volume_serial(i < ctx.volume_serials.size() ? ctx.volume_serials[i] : 0);
            created += format_time_text(ctx, i < ctx.volume_times.size() ? ctx.volume_times[i] : 0);
        }
        p += set_text_cell(row, p, paths, cell_text, 0);
        p += set_text_cell(row, p, serials, cell_text, 0);
        p += set_text_cell(row, p, created, cell_text, 0);
        p += set_number_cell(row, p, ctx.modules.size(), cell_uint, k_flag_decimal);
        std::string modules;
        for (const auto& [offset, name] : ctx.modules) {
            if (offset != ctx.modules.begin()->first) modules += k_list_joiner;
            modules += name;
        }
        p += set_text_cell(row, p, modules, cell_text, 0);
    }
    if (with_prev_times) {
        std::string times;
        for (uint64_t t : ctx.prev_run_times) {
            if (t != *ctx.prev_run_times.begin()) times += k_list_joiner;
            times += format_time_text(ctx, t);
        }
        p += set_text_cell(row, p, times, cell_text, 0);
    }
    if (with_user) p += set_text_cell(row, p, ctx.user_name, cell_text, 0);
    if (with_host) p += set_text_cell(row, p, ctx.host_name, cell_text, 0);

    write_row(out, row, ctx);
    return 1;
}
