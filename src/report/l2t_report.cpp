#include "l2t_report.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "ascii_text.h"
#include "macb.h"
#include "hex_text.h"

namespace runtrail {
namespace {

constexpr const char* k_columns[] = {"timezone", "MACB",  "source",   "sourcetype", "type",  "user",   "host", "short",
                                     "desc",     "version", "filename", "inode",    "notes", "format", "extra"};
constexpr std::array<const char*, 4> k_main_labels = {"Last Modified", "Last Access", "Last Run", "Created"};
constexpr std::array<const char*, 4> k_earlier_labels = {"Modified", "Access", "Run", "Created"};
constexpr const char* k_source = "PREFETCH";
constexpr const char* k_timezone = "UTC";
constexpr const char* k_version = "2";

std::string_view after_last_backslash(std::string_view text) {
    const auto at = text.rfind('\\');
    return at == std::string_view::npos ? text : text.substr(at + 1);
}

// Full module paths under -verbose; otherwise the short names, once each, in case-insensitive
// order (the first spelling met is kept).
std::string module_list(const prefetch_record& record, bool verbose) {
    if (record.modules.empty()) return {};
    std::string list = "Module list: ";
    bool first = true;
    auto append = [&](std::string_view name) {
        if (!first) list += "; ";
        list += name;
        first = false;
    };
    if (verbose) {
        for (const std::string& name : record.modules) append(name);
        return list;
    }
    struct short_name {
        std::string key;  // lower case
        std::string_view name;
    };
    std::vector<short_name> names;
    names.reserve(record.modules.size());
    for (const std::string& path : record.modules) {
        const std::string_view name = after_last_backslash(path);
        names.push_back({lower_ascii(name), name});
    }
    std::stable_sort(names.begin(), names.end(), [](const short_name& a, const short_name& b) { return a.key < b.key; });
    for (size_t i = 0; i < names.size(); ++i)
        if (i == 0 || names[i].key != names[i - 1].key) append(names[i].name);
    return list;
}

}  // namespace

l2t_report::l2t_report(const report_settings& settings)
    : report_writer(settings),
      guard_(settings.separator, settings.field_sep_char, settings.field_sep_replacement) {}

void l2t_report::start(const file_facts&, std::string& out) {
    const std::string& sep = settings_.separator;
    out += settings_.pair_datetime ? "date/time" + sep : "date" + sep + "time" + sep;
    bool first = true;
    for (const char* name : k_columns) {
        if (!first) out += sep;
        out += name;
        first = false;
    }
    out += '\n';
}

void l2t_report::render(const file_facts& file, const prefetch_record& record, std::string& out) const {
    const std::string& sep = settings_.separator;
    const time_format& times = settings_.times;
    auto field = [this](std::string text) {
        guard_.protect(text);
        return text;
    };

    std::string notes = "Run count: " + std::to_string(record.run_count);
    if (!record.earlier_runs.empty()) {
        notes += record.run_count > 2 ? " [Previous times run: " : " [Previous time run: ";
        for (size_t i = 0; i < record.earlier_runs.size(); ++i) {
            if (i > 0) notes += "; ";
            notes += times.text(record.earlier_runs[i]);
        }
        notes += "]";
    }
    if (file.deleted) notes += " [deleted file, MFT entry " + std::to_string(file.mft_entry) + "]";
    std::string volumes;
    for (size_t i = 0; i < record.volumes.size(); ++i) {
        const volume_record& v = record.volumes[i];
        volumes += i == 0 ? "Volume name; serial#; date: " : "; ";
        volumes += "[" + v.device_path + "; " + volume_serial_text(v.serial) + "; " + times.text(v.created) + "]";
    }

    // The fields from "user" on do not depend on the line.
    const std::string user_host = field(settings_.user_name) + sep + field(settings_.host_name) + sep;
    const std::string event = field(file.name + " [" + record.exe_name + " executed]");
    const std::string inode = file.from_image ? std::to_string(file.mft_entry) : std::string();
    const std::string after_desc = sep + k_version + sep + field(file.path) + sep + inode + sep;
    const std::string format = field(std::string(after_last_backslash(settings_.program_name)) + " (kelvane)");
    const std::string leading = field(k_timezone);
    const std::string source = field(k_source);
    const std::string sourcetype = field(version_label(record.version));
    const std::string pad = settings_.compact_fields ? "" : " ";

    auto write_lines = [&](const macb_times& object, const std::string& tail) {
        std::string date, time_text;
        for (const timeline_row& row : merge_macb(object)) {
            times.render(row.time, date, time_text);
            guard_.break_separator(date);
            guard_.break_separator(time_text);
            if (settings_.pair_datetime)
                out += pad + date + " " + time_text + sep;
            else
                out += date + sep + pad + time_text + sep;
            out += leading + sep + row.macb + sep + source + sep + sourcetype + sep + field(row.description) + sep;
            out += user_host + tail + '\n';
        }
    };

    macb_times main;
    main.times = {file.modified, file.accessed, record.last_run,
                  file.from_image ? file.created : record.run_count == 1 ? record.last_run : file.changed};
    main.labels = k_main_labels;
    write_lines(main, event + sep + field(module_list(record, settings_.verbose)) + after_desc + field(notes) + sep +
                          format + sep + field(volumes));

    if (record.earlier_runs.empty()) return;
    const std::string earlier_tail =
        event + sep + field("Modules for last run are at record w/ same name at time: " + times.text(record.last_run)) +
        after_desc + field("Not last time run, but a previous time run.") + sep + format + sep;
    macb_times earlier;
    earlier.labels = k_earlier_labels;
    for (uint64_t t : record.earlier_runs) {
        earlier.times = {t, t, t, 0};
        write_lines(earlier, earlier_tail);
    }
}

}  // namespace runtrail
