// The default report: one block of labelled lines per prefetch file, then the files it loaded
// and, per volume, the volume's identity and the directories it used.
#include <ostream>
#include <string>

#include "qn_time.h"
#include "qn_variant_lite.h"
#include "report_format.h"
#include "report_writers.h"
#include "runtrail_user_context.h"
#include "time_format.h"

namespace {

// "001", "012", "1234": at least three digits, always decimal.
std::string entry_number(size_t n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return digits;
}

// Names come from the file: a crafted one must not forge report lines. Windows names never hold
// CR or LF, so real files are unaffected.
std::string one_line(std::string text) {
    mark_line_breaks(text);
    return text;
}

// Times of the prefetch file itself: whole seconds only.
std::string file_time_text(const cmd_params& settings, uint64_t filetime) {
    std::string date, time_text;
    const qn::time t(static_cast<int64_t>(filetime), qn::type_filetime);
    qn::format_date_time_nofrac(date, time_text, t, settings.date_format, settings.time_format);
    return date + " " + time_text;
}

}  // namespace

int write_text_report(std::ostream& out, runtrail_user_context& ctx) {
    if (ctx.out_csv || ctx.out_csvl2t || ctx.out_bodyfile) return 0;
    std::string text;
    text += "Analyzing file: " + one_line(ctx.file_path) + "\n";
    text += "modified:       " + file_time_text(ctx, ctx.prefetch_file_times[k_file_time_modified]) + "\n";
    text += "accessed:       " + file_time_text(ctx, ctx.prefetch_file_times[k_file_time_accessed]) + "\n";
    text += "stats changed   " + file_time_text(ctx, ctx.prefetch_file_times[k_file_time_changed]) + "\n";
    text += "\n";
    text += "target file:    " + one_line(ctx.exe_name) + ", run " + std::to_string(ctx.run_count) + " times\n";
    text += "Last run:       " + format_time_text(ctx, ctx.last_run_time) + "\n";
    if (ctx.show_prev_times)
        for (uint64_t t : ctx.prev_run_times) text += "Prev run:       " + format_time_text(ctx, t) + "\n";
    if (ctx.show_target_path) text += "path:           " + one_line(ctx.target_path) + "\n";

    text += "\n --------- files mapped --------- \n\n\n";
    size_t n = 0;
    for (const auto& [offset, name] : ctx.modules) text += entry_number(++n) + " : " + one_line(name) + "\n";

    text += "\n --------- directories mapped --------- \n\n\n";
    for (size_t i = 0; i < ctx.volume_paths.size(); ++i) {
        const uint64_t created = i < ctx.volume_times.size() ? ctx.volume_times[i] : 0;
        const uint32_t serial = i < ctx.volume_serials.size() ? ctx.volume_serials[i] : 0;
        text += "vol path:     " + one_line(ctx.volume_paths[i]) + "\n";
        text += "time created: " + format_time_text(ctx, created) + "\n";
        text += "serial num:   " + format_volume_serial(serial) + "\n";
        text += "\n";
        if (i < ctx.volume_dirs.size()) {
            size_t d = 0;
            for (const auto& [position, directory] : ctx.volume_dirs[i])
                text += entry_number(++d) + " : " + one_line(directory) + "\n";
            text += "\n";
        }
    }
    out << text;
    return 1;
}
