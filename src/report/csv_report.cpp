#include "csv_report.h"

#include "hash_verdict.h"
#include "hex_text.h"

namespace runtrail {
namespace {

constexpr size_t k_name_width = 42;
constexpr size_t k_app_name_width = 30;
constexpr size_t k_times_ran_width = 9;
constexpr size_t k_path_width = 90;
constexpr size_t k_count_width = 3;
constexpr size_t k_volume_width = 6;
constexpr size_t k_serial_width = 9;
constexpr size_t k_module_list_width = 10;
constexpr size_t k_account_width = 9;
constexpr size_t k_hash_width = 13;          // "prefetch hash"
constexpr size_t k_hash_verdict_width = 47;  // "name and path match on \DEVICE\HARDDISKVOLUME32"
constexpr size_t k_mft_entry_width = 9;
constexpr size_t k_deleted_width = 7;

constexpr const char* k_list_joiner = "; ";

void append_padded(std::string& out, const std::string& text, size_t width, bool left_align) {
    const size_t fill = width > text.size() ? width - text.size() : 0;
    if (!left_align) out.append(fill, ' ');
    out += text;
    if (left_align) out.append(fill, ' ');
}

// Wraps text in double quotes, inner quotes doubled as CSV readers expect.
std::string quoted(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A value that already reads as a JSON-like quoted object is left as it is.
bool starts_with_brace_quote(const std::string& text) { return text.size() >= 3 && text[0] == '{' && text[1] == '"'; }

template <typename T, typename F>
std::string joined(const std::vector<T>& items, F text_of) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += k_list_joiner;
        out += text_of(items[i]);
    }
    return out;
}

}  // namespace

csv_report::csv_report(const report_settings& settings)
    : report_writer(settings),
      guard_(settings.separator, settings.field_sep_char, settings.field_sep_replacement) {}

bool csv_report::with_volumes_and_modules() const { return settings_.verbose && settings_.compact_fields; }

void csv_report::add_column(std::string name, size_t width, bool time_part) {
    columns_.push_back({std::move(name), settings_.compact_fields ? 0 : width, time_part});
}

void csv_report::start(const file_facts& first, std::string& out) {
    const size_t d = settings_.times.date_width();
    const size_t t = settings_.times.time_width();
    // With -pf_path the first column holds the whole path; its width grows with the first file's
    // directory part.
    size_t name_width = k_name_width;
    if (settings_.show_prefetch_path) {
        size_t slash = first.path.rfind('\\');
        if (slash == std::string::npos) slash = first.path.rfind('/');
        if (slash != std::string::npos) name_width = slash + k_name_width + 1;
    }
    add_column("prefetch file name", name_width);
    add_column("app name", k_app_name_width);
    add_column("times ran", k_times_ran_width);
    if (settings_.pair_datetime) {
        for (const char* name : {"last run [UTC]", "modify date [UTC]", "access date [UTC]", "changed date [UTC]"})
            add_column(name, d + t + 1);
    } else {
        for (const char* name : {"last run", "mdate", "adate", "cdate"}) {
            add_column(name, d);
            add_column("time-UTC", t, true);
        }
    }
    add_column("path/appname", k_path_width);
    if (with_volumes_and_modules()) {
        add_column("Num Vols", k_count_width);
        add_column("volume(s)", k_volume_width);
        add_column("volume serial(s)", k_serial_width);
        add_column("volume date/time(s) (UTC)", d + t + 1);
        add_column("Num modules", k_count_width);
        add_column("Module list", k_module_list_width);
    }
    add_column("previous dates run", d + t + 1);
    if (!settings_.user_name.empty()) add_column("user acct", k_account_width);
    if (!settings_.host_name.empty()) add_column("host name", k_account_width);
    if (settings_.hash_check) {
        add_column("prefetch hash", k_hash_width);
        add_column("hash check", k_hash_verdict_width);
    }
    // A run over a disk image has what only the volume keeps, in columns of its own at the end.
    image_columns_ = first.from_image;
    if (image_columns_) {
        if (settings_.pair_datetime) {
            add_column("created date [UTC]", d + t + 1);
        } else {
            add_column("crdate", d);
            add_column("time-UTC", t, true);
        }
        add_column("mft entry", k_mft_entry_width);
        add_column("deleted", k_deleted_width);
    }

    std::string line;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].time_part && settings_.pad_separator) line += ' ';
        std::string name = columns_[i].name;
        guard_.break_separator(name);
        append_padded(line, name, columns_[i].width, true);
        if (i + 1 < columns_.size()) line += settings_.separator;
    }
    out += line;
    out += '\n';
}

void csv_report::render(const file_facts& file, const prefetch_record& record, std::string& out) const {
    const std::string& separator = settings_.separator;
    size_t p = 0;  // the column being written
    auto next = [&] {
        if (++p < columns_.size()) out += separator;
    };
    auto text_cell = [&](const std::string& text) {
        std::string value;
        if (settings_.quoted_fields && !starts_with_brace_quote(text)) {
            value = quoted(text);
            guard_.protect_quoted(value);  // a reader keeps a quoted field whole
        } else {
            value = text;
            guard_.protect(value);
        }
        append_padded(out, value, columns_[p].width, true);
        next();
    };
    auto number_cell = [&](uint64_t n) {
        append_padded(out, std::to_string(n), columns_[p].width, false);
        next();
    };
    const std::string blank = settings_.compact_fields ? "" : " ";
    auto time_cell = [&](uint64_t filetime) {
        std::string date, time_text;
        if (!settings_.times.render(filetime, date, time_text)) date = time_text = blank;
        // A date pattern may use the separator character ("/" or "-"); it must not add a field.
        guard_.break_separator(date);
        guard_.break_separator(time_text);
        if (settings_.pair_datetime) {
            if (!settings_.compact_fields && settings_.pad_separator) out += ' ';
            append_padded(out, date + ' ' + time_text, columns_[p].width, true);
            next();
            return;
        }
        append_padded(out, date, columns_[p].width, true);
        next();
        if (settings_.pad_separator) out += ' ';
        append_padded(out, time_text, columns_[p].width, true);
        next();
    };

    text_cell(settings_.show_prefetch_path ? file.path : file.name);
    text_cell(record.exe_name);
    number_cell(record.run_count);
    for (uint64_t t : {record.last_run, file.modified, file.accessed, file.changed}) time_cell(t);
    text_cell(record.target_path);
    if (with_volumes_and_modules()) {
        number_cell(record.volumes.size());
        text_cell(joined(record.volumes, [](const volume_record& v) { return v.device_path; }));
        text_cell(joined(record.volumes, [](const volume_record& v) { return volume_serial_text(v.serial); }));
        text_cell(joined(record.volumes, [this](const volume_record& v) { return settings_.times.text(v.created); }));
        number_cell(record.modules.size());
        text_cell(joined(record.modules, [](const std::string& m) { return m; }));
    }
    text_cell(joined(record.earlier_runs, [this](uint64_t t) { return settings_.times.text(t); }));
    if (!settings_.user_name.empty()) text_cell(settings_.user_name);
    if (!settings_.host_name.empty()) text_cell(settings_.host_name);
    if (settings_.hash_check) {
        text_cell(upper_hex_text(record.prefetch_hash));
        text_cell(hash_verdict(file.name, record));
    }
    if (image_columns_) {
        time_cell(file.created);
        number_cell(file.mft_entry);
        text_cell(file.deleted ? "yes" : "no");
    }
    out += '\n';
}

}  // namespace runtrail
