// Body file: the pipe-separated layout of file-system timeline tools. A prefetch file gives
// one line for its last run and one per earlier run time, with times in Unix seconds.
#include "body_report.h"

#include <algorithm>
#include <ostream>

#include "qn_variant_lite.h"
#include "report_writers.h"
#include "runtrail_user_context.h"

namespace {

constexpr const char* k_body_header =
    "md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time\n";

}  // namespace

void body_record::set_times(const uint64_t filetimes[4]) {
    qn::to_unix_times(filetimes, times);
    // Beyond what the conversion drops (zero, bit 63, before 1970), a time that is not valid
    // (after the year 3000) is no time either: printing its seconds would put a date in the
    // timeline that no other output of the tool shows.
    for (int i = 0; i < 4; ++i)
        if (!qn::time(static_cast<int64_t>(filetimes[i]), qn::type_filetime).valid) times[i] = 0;
    time_kind = qn::type_unix_time;
}

std::string body_name_text(const std::string& name) {
    std::string text = name;
    std::replace(text.begin(), text.end(), '|', ';');
    // One record is one line: a line break inside a name would start a new, malformed record.
    mark_line_breaks(text);  // marks every CR and LF, paired or lone
    return text;
}

void write_body_line(std::ostream& out, const body_record& record, runtrail_user_context& ctx) {
    if (ctx.header_pending) {
        ctx.header_pending = false;
        out << k_body_header;
    }
    std::string line = record.md5.empty() ? std::string("0") : body_name_text(record.md5);
    line += '|' + body_name_text(record.name);
    line += '|' + std::to_string(record.inode);
    line += '|' + body_name_text(record.mode);
    line += '|' + std::to_string(record.uid);
    line += '|' + std::to_string(record.gid);
    line += '|' + std::to_string(record.size);
    // Field order of the layout: atime, mtime, ctime, crtime.
    for (size_t slot : {size_t{1}, size_t{0}, size_t{2}, size_t{3}}) line += '|' + std::to_string(record.times[slot]);
    line += '\n';
    out << line;
}

int write_body_report(std::ostream& out, runtrail_user_context& ctx) {
    if (!ctx.out_bodyfile) return 0;
    const std::string label = ctx.file_name + " (" + ctx.source_label + ")";

    body_record main;
    main.size = ctx.prefetch_file_size;
    const uint64_t main_times[4] = {
        ctx.prefetch_file_times[k_file_time_modified], ctx.prefetch_file_times[k_file_time_accessed],
        ctx.last_run_time,
        ctx.run_count == 1 ? ctx.last_run_time : ctx.prefetch_file_times[k_file_time_changed]};
    main.set_times(main_times);
    main.name = label + "; run count: " + std::to_string(ctx.run_count) + "; app run: " + ctx.target_path;
    write_body_line(out, main, ctx);

    if (ctx.show_prev_times && !ctx.prev_run_times.empty()) {
        body_record prev = main;
        prev.name = label + "; not last time run - but prevtime; app run: " + ctx.target_path;
        for (uint64_t t : ctx.prev_run_times) {
            const uint64_t prev_times[4] = {t, t, t, ctx.prefetch_file_times[k_file_time_changed]};
            prev.set_times(prev_times);
            write_body_line(out, prev, ctx);
        }
    }
    return 1;
}
