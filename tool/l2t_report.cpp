// log2timeline CSV: 17 columns (date, time, timezone, MACB, source, sourcetype, type, user,
// host, short, desc, version, filename, inode, notes, format, extra). A prefetch file gives one
// line per distinct time of its main event (file modified, accessed, last run, created) and
// one line per earlier run time.
#include "l2t_report.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <string_view>
#include <vector>

#include "macb.h"
#include "qn_string.h"
#include "qn_variant_lite.h"
#include "report_format.h"
#include "report_writers.h"
#include "runtrail_user_context.h"

namespace {

constexpr const char* k_l2t_columns[] = {"timezone", "MACB", "source", "sourcetype", "type", "user", "host",
                                         "short", "desc", "version", "filename", "inode", "notes", "format",
                                         "extra"};
constexpr const char* k_main_labels[4] = {"Last Modified", "Last Access", "Last Run", "Created"};
constexpr const char* k_prev_labels[4] = {"Modified", "Access", "Run", "Created"};

void replace_all(std::string& text, std::string_view what, std::string_view with) {
    if (what.empty()) return;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The separator without the spaces that pad it (" | " stands as "|" between values).
std::string_view trim_spaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string after_last_backslash(const std::string& text) {
    const auto at = text.rfind('\\');
    return at == std::string::npos ? text : text.substr(at + 1);
}

std::string module_list(const runtrail_user_context& ctx) {
    if (ctx.modules.empty()) return {};
    std::string list = "Module list: ";
    bool first = true;
    auto append = [&](const std::string& name) {
        if (!first) list += "; ";
        list += name;
        first = false;
    };
    if (ctx.verbose) {
        for (const auto& [offset, name] : ctx.modules) append(name);
        return list;
    }
    // Short names, once each, in case-insensitive order; the first spelling met is kept.
    std::map<std::string, std::string> short_names;
    for (const auto& [offset, name] : ctx.modules) {
        std::string short_name = after_last_backslash(name);
        std::string key = short_name;
        qn::to_lower(key);
        short_names.emplace(std::move(key), std::move(short_name));
    }
    for (const auto& [key, name] : short_names) append(name);
    return list;
}

std::string run_notes(const runtrail_user_context& ctx) {
    std::string notes = "Run count: " + std::to_string(ctx.run_count);
    if (!ctx.show_prev_times || ctx.prev_run_times.empty()) return notes;
    notes += " [Previous time";
    if (ctx.run_count > 2) notes += "s";
    notes += " run: ";
    bool first = true;
    for (uint64_t t : ctx.prev_run_times) {
        if (!first) notes += "; ";
        notes += format_time_text(ctx, t);
        first = false;
    }
    notes += "]";
    return notes;
}

std::string volume_text(const runtrail_user_context& ctx) {
    if (ctx.volume_paths.empty()) return {};
    std::string text = "Volume name; serial#; date: ";
    for (size_t i = 0; i < ctx.volume_paths.size(); ++i) {
        if (i) text += "; ";
        const uint32_t serial = i < ctx.volume_serials.size() ? ctx.volume_serials[i] : 0;
        const uint64_t created = i < ctx.volume_times.size() ? ctx.volume_times[i] : 0;
        text += "[" + ctx.volume_paths[i] + "; " + format_volume_serial(serial) + "; " +
                format_time_text(ctx, created) + "]";
    }
    return text;
}

l2t_record main_record(const runtrail_user_context& ctx) {
    l2t_record r;
    r.times[qn::k_macb_m] = ctx.prefetch_file_times[k_file_time_modified];
    r.times[qn::k_macb_a] = ctx.prefetch_file_times[k_file_time_accessed];
    r.times[qn::k_macb_c] = ctx.last_run_time;
    r.times[qn::k_macb_b] = ctx.run_count == 1 ? ctx.last_run_time : ctx.prefetch_file_times[k_file_time_changed];
    for (size_t i = 0; i < 4; ++i) r.labels[i] = k_main_labels[i];
    r.source = "PREFETCH";
    r.sourcetype = ctx.source_label;
    r.user = ctx.user_name;
    r.host = ctx.host_name;
    r.short_text = ctx.file_name + " [" + ctx.exe_name + " executed]";
    r.desc = module_list(ctx);
    r.filename = ctx.file_path;
    r.notes = run_notes(ctx);
    r.format = after_last_backslash(ctx.program_name) + " (kelvane)";
    r.extra = volume_text(ctx);

    r.date_format = ctx.date_format;
    r.time_format = ctx.time_format;
    r.time_formatter = ctx.time_formatter;
    r.separator = ctx.separator;
    r.field_sep_char = ctx.field_sep_char;
    r.field_sep_replacement = ctx.field_sep_replacement;
    r.padded = !ctx.compact_fields;
    r.pair_datetime = ctx.pair_datetime;
    return r;
}

void write_header(std::ostream& out, const l2t_record& r) {
    std::string line = r.pair_datetime ? "date/time" + r.separator : "date" + r.separator + "time" + r.separator;
    bool first = true;
    for (const char* name : k_l2t_columns) {
        if (!first) line += r.separator;
        line += name;
        first = false;
    }
    line += '\n';
    out << line;
}

}  // namespace

std::string l2t_field_text(const std::string& text, const l2t_record& record) {
    std::string field = text;
    mark_line_breaks(field);  // marks every CR and LF, paired or lone
    if (record.field_sep_char != 0 && record.field_sep_replacement != 0) {
        std::replace(field.begin(), field.end(), record.field_sep_char, record.field_sep_replacement);
    } else {
        // No replacement configured (a separator such as a tab or ";", or quoting asked for):
        // the separator itself is still taken out of values, so that a name can never add a
        // column to the line.
        const std::string_view separator = trim_spaces(record.separator);
        replace_all(field, separator, " ");
    }
    return field;
}

void write_l2t_record(std::ostream& out, const l2t_record& record, runtrail_user_context& ctx) {
    if (ctx.header_pending) {
        ctx.header_pending = false;
        write_header(out, record);
    }

    qn::macb_record macb;
    for (size_t i = 0; i < 4; ++i) {
        macb.times[i] = record.times[i];
        macb.labels[i] = record.labels[i];
    }
    macb.type = record.time_kind;
    std::vector<qn::timeline_row> rows;
    qn::merge_macb(rows, macb, record.time_kind);
    std::stable_sort(rows.begin(), rows.end(), [](const qn::timeline_row& a, const qn::timeline_row& b) {
        return a.time.filetime < b.time.filetime;
    });

    const std::string& sep = record.separator;
    const std::string pad = record.padded ? " " : "";
    // The texts after "host" do not depend on the line; prepare them once.
    const std::string tail = l2t_field_text(record.short_text, record) + sep + l2t_field_text(record.desc, record) +
                             sep + std::to_string(record.version) + sep + l2t_field_text(record.filename, record) +
                             sep + l2t_field_text(record.inode, record) + sep +
                             l2t_field_text(record.notes, record) + sep + l2t_field_text(record.format, record) +
                             sep + l2t_field_text(record.extra, record);
    const std::string timezone = l2t_field_text(record.timezone, record);
    const std::string source = l2t_field_text(record.source, record);
    const std::string sourcetype = l2t_field_text(record.sourcetype, record);
    const std::string user = l2t_field_text(record.user, record);
    const std::string host = l2t_field_text(record.host, record);

    for (const auto& row : rows) {
        std::string date, time_text;
        qn::format_date_time_spec(date, time_text, row.time, record.time_formatter);
        std::string line;
        if (record.pair_datetime) line = pad + date + " " + time_text + sep;
        else line = date + sep + pad + time_text + sep;
        line += timezone + sep + row.macb + sep + source + sep + sourcetype + sep;
        line += l2t_field_text(record.type.empty() ? row.description : record.type, record) + sep;
        line += user + sep + host + sep + tail + '\n';
        out << line;
    }
}

int write_l2t_report(std::ostream& out, runtrail_user_context& ctx) {
    if (!ctx.out_csvl2t) return 0;
    const l2t_record main = main_record(ctx);
    write_l2t_record(out, main, ctx);

    if (ctx.show_prev_times && !ctx.prev_run_times.empty()) {
        l2t_record prev = main;
        for (size_t i = 0; i < 4; ++i) prev.labels[i] = k_prev_labels[i];
        prev.desc = "Modules for last run are at record w/ same name at time: " +
                    format_time_text(ctx, ctx.last_run_time);
        prev.notes = "Not last time run, but a previous time run.";
        prev.extra.clear();
        for (uint64_t t : ctx.prev_run_times) {
            prev.times[qn::k_macb_m] = prev.times[qn::k_macb_a] = prev.times[qn::k_macb_c] = t;
            prev.times[qn::k_macb_b] = 0;
            write_l2t_record(out, prev, ctx);
        }
    }
    return 1;
}
