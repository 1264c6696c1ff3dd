#include "html_report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <vector>

#include "field_text.h"
#include "filetime.h"
#include "hash_verdict.h"
#include "hex_text.h"
#include "html_page_assets.h"
#include "html_text.h"
#include "sha256.h"

namespace runtrail {
namespace {

// The pending form of one file, as render() leaves it for put_in_order(): a start mark, then lines
// each led by a tag. No line can hold a line break, nor the mark: names are made printable first,
// and JSON strings escape control codes. The page's start, for the first file, stands before it.
constexpr char k_pending_mark = '\x1e';
constexpr char k_timeline_line = 'T';  // last run, run times (ms, commas), program name, tab-separated
constexpr char k_row_line = 'R';       // the table row's attributes, '>', its cells
constexpr char k_json_line = 'J';      // data block text as it stands
constexpr char k_name_line = 'S';      // a shared name (a JSON string), to be replaced by its number

// The table's rows go out in parts of this many, each a table of its own.
constexpr uint64_t k_rows_per_part = 250;
constexpr std::string_view k_part_end = "</tbody></table></div>\n";

// Shared names are remembered up to this many bytes; later new names still go out once each, but
// a file that repeats one of them repeats its text, so memory stays bounded whatever the input.
constexpr size_t k_name_memory_budget = 64u << 20;
constexpr size_t k_name_overhead = 64;  // a map entry's own memory, roughly

std::string csp_source(std::string_view inline_text) {
    const std::array<uint8_t, 32> digest = sha256(inline_text);
    return "'sha256-" + base64(digest.data(), digest.size()) + "'";
}

void append_time_cell(std::string& out, std::optional<int64_t> ms) {
    if (!ms) {
        out += "<td></td>";
        return;
    }
    out += "<td data-v=\"" + std::to_string(*ms) + "\">";
    append_page_time(out, *ms);
    out += "</td>";
}

void append_text_cell(std::string& out, std::string_view value, const char* css_class = nullptr) {
    out += css_class ? std::string("<td class=\"") + css_class + "\">" : std::string("<td>");
    append_html_text(out, value);
    out += "</td>";
}

void append_json_ms(std::string& out, std::optional<int64_t> ms) { out += ms ? std::to_string(*ms) : "null"; }

// A JSON array of shared names (modules, directories): one name line each, numbered later in input
// order, then the closing bracket as data text.
void append_shared_names(std::string& out, const std::vector<std::string>& names) {
    out += "[\n";
    for (const std::string& name : names) {
        out += k_name_line;
        append_script_json_string(out, name);
        out += '\n';
    }
    out += k_json_line;
    out += ']';
}

std::string_view line_text(std::string_view line) { return line.substr(1); }

// A number the pending form wrote ("-1452978626058").
int64_t number_of(std::string_view text) {
    int64_t n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return n;
}

// "1452978626058,1452978581660" to numbers.
std::vector<int64_t> numbers_of(std::string_view text) {
    std::vector<int64_t> numbers;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        numbers.push_back(number_of(text.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return numbers;
}

}  // namespace

void html_report::start(const file_facts& first, std::string& out) {
    image_columns_ = first.from_image;
    write_page_start(out);
}

void html_report::write_page_start(std::string& out) {
    page_started_ = true;
    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n";
    out += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src ";
    out += csp_source(k_page_script);
    out += "; style-src ";
    out += csp_source(k_page_style);
    out += "; img-src 'none'; base-uri 'none'; form-action 'none'\">\n";
    out += "<meta name=\"referrer\" content=\"no-referrer\"><meta name=\"viewport\" content=\"width=device-width\">\n";
    out += "<title>runtrail prefetch report</title>\n<style>";
    out += k_page_style;
    out += "</style></head>\n<body>\n<header id=\"head\"><h1>Prefetch report</h1><pre class=\"ident\">";
    std::string_view identification = settings_.identification;
    for (bool first_line = true; !identification.empty(); first_line = false) {
        const size_t end = identification.find('\n');
        if (!first_line) out += '\n';
        append_html_text(out, identification.substr(0, end));
        identification = end == std::string_view::npos ? std::string_view{} : identification.substr(end + 1);
    }
    out += "</pre><p>Made ";
    if (const std::optional<int64_t> made = page_milliseconds(unix_to_filetime(settings_.made_at))) {
        std::string when;
        append_page_time(when, *made);
        out += "<time>" + when.substr(0, 19) + " UTC</time>";
    }
    out += ". All times are UTC.</p>";
    out += "<p class=\"js-only\"><label>Filter table and timeline <input id=\"filter\" type=\"search\" "
           "placeholder=\"text in any column\"></label> <span id=\"shown\"></span></p></header>\n";
    // The header stands in a table of its own and the rows in parts of k_rows_per_part: a part
    // out of view is neither laid out nor painted, and a fixed layout over the same columns keeps
    // every part's columns in line with the header.
    columns_ = "<colgroup><col class=\"prog\"><col class=\"runs\"><col class=\"time\"><col class=\"time\">"
               "<col class=\"path\">";
    if (settings_.hash_check) columns_ += "<col class=\"hash\">";
    columns_ += "<col class=\"serial\"><col class=\"pf\">";
    if (image_columns_) columns_ += "<col class=\"deleted\"><col class=\"time\">";
    columns_ += "</colgroup>";
    out += "<section id=\"tablebox\"><h2>Prefetch files</h2><div id=\"files\"><table class=\"head\">" + columns_ +
           "<thead><tr><th>Program</th><th>Runs</th><th>Last run</th><th>Earliest stored run</th><th>Path</th>";
    if (settings_.hash_check) out += "<th>Hash check</th>";
    out += "<th>Volume serials</th><th>Prefetch file</th>";
    if (image_columns_) out += "<th>Deleted</th><th>Created</th>";
    out += "</tr></thead></table>\n";
}

void html_report::render(const file_facts& file, const prefetch_record& record, std::string& out) const {
    const std::optional<int64_t> last = page_milliseconds(record.last_run);
    std::vector<int64_t> runs;
    if (last) runs.push_back(*last);
    for (const uint64_t earlier : record.earlier_runs)
        if (const std::optional<int64_t> ms = page_milliseconds(earlier)) runs.push_back(*ms);
    std::sort(runs.begin(), runs.end());

    // The picture's summary: the last run and the most recent earlier ones, at most k_most_marks.
    out += k_pending_mark;
    out += k_timeline_line;
    if (last) out += std::to_string(*last);
    out += '\t';
    size_t marks = 0;
    for (auto t = runs.rbegin(); t != runs.rend() && marks < static_timeline::k_most_marks; ++t, ++marks) {
        if (marks) out += ',';
        out += std::to_string(*t);
    }
    out += '\t';
    std::string program = record.exe_name;
    make_printable(program);
    out += program;
    out += '\n';

    // The row's own attributes, then its cells: the run times, oldest first, for the script.
    out += k_row_line;
    out += " data-r=\"";
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(runs[i]);
    }
    out += "\">";
    append_text_cell(out, record.exe_name, "prog");
    out += "<td class=\"num\" data-v=\"" + std::to_string(record.run_count) + "\">" + std::to_string(record.run_count) + "</td>";
    append_time_cell(out, last);
    append_time_cell(out, runs.empty() ? std::nullopt : std::optional<int64_t>(runs.front()));
    append_text_cell(out, record.target_path, "path");
    if (settings_.hash_check) append_text_cell(out, hash_verdict(file.name, record));
    std::string serials;
    for (const volume_record& volume : record.volumes) {
        if (!serials.empty()) serials += ' ';
        serials += volume_serial_text(volume.serial);
    }
    append_text_cell(out, serials, "serial");
    out += "<td class=\"pf\" title=\"";
    append_html_text(out, file.path);
    out += "\">";
    append_html_text(out, file.name);
    out += "</td>";
    if (image_columns_) {
        out += file.deleted ? "<td class=\"deleted\">deleted</td>" : "<td>no</td>";
        append_time_cell(out, file.from_image ? page_milliseconds(file.created) : std::nullopt);
    }
    out += '\n';

    out += k_json_line;
    out += "{\"p\":";
    append_script_json_string(out, file.path);
    out += ",\"m\":";
    append_shared_names(out, record.modules);
    // The modules' NTFS file references ("entry-sequence", 0 for none), when the file stores any.
    const auto& references = record.module_references;
    if (std::any_of(references.begin(), references.end(), [](const ntfs_file_reference& r) { return r.value != 0; })) {
        out += ",\"f\":[";
        for (size_t i = 0; i < record.modules.size(); ++i) {
            if (i) out += ',';
            const ntfs_file_reference reference = i < references.size() ? references[i] : ntfs_file_reference{};
            out += reference.value == 0 ? std::string("0")
                                        : '"' + std::to_string(reference.mft_entry()) + '-' +
                                              std::to_string(reference.sequence()) + '"';
        }
        out += ']';
    }
    out += ",\"v\":[";
    for (size_t v = 0; v < record.volumes.size(); ++v) {
        const volume_record& volume = record.volumes[v];
        if (v) out += ',';
        out += "{\"p\":";
        append_script_json_string(out, volume.device_path);
        out += ",\"s\":\"" + volume_serial_text(volume.serial) + "\",\"c\":";
        append_json_ms(out, page_milliseconds(volume.created));
        out += ",\"d\":";
        append_shared_names(out, volume.directories);
        out += '}';
    }
    out += "]}\n";
}

uint32_t html_report::name_number(const std::string& json_name, std::string& new_names) {
    if (const auto known = name_numbers_.find(json_name); known != name_numbers_.end()) return known->second;
    const uint32_t number = names_out_++;
    if (!new_names.empty()) new_names += ',';
    new_names += json_name;
    if (remembered_bytes_ + json_name.size() + k_name_overhead <= k_name_memory_budget) {
        remembered_bytes_ += json_name.size() + k_name_overhead;
        name_numbers_.emplace(json_name, number);
    }
    return number;
}

void html_report::put_in_order(std::string& report) {
    std::string new_names, row, data;
    const size_t mark = report.find(k_pending_mark);
    if (mark == std::string::npos) return;
    std::string_view pending = std::string_view(report).substr(mark + 1);
    std::string name;
    while (!pending.empty()) {
        const size_t end = pending.find('\n');
        const std::string_view line = pending.substr(0, end);
        pending = end == std::string_view::npos ? std::string_view{} : pending.substr(end + 1);
        if (line.empty()) continue;
        switch (line.front()) {
            case k_timeline_line: {
                const std::string_view fields = line_text(line);
                const size_t tab1 = fields.find('\t'), tab2 = fields.find('\t', tab1 + 1);
                picture_row summary;
                const std::string_view last = fields.substr(0, tab1);
                if (!last.empty()) summary.last_run = number_of(last);
                summary.runs = numbers_of(fields.substr(tab1 + 1, tab2 - tab1 - 1));
                summary.name = std::string(fields.substr(tab2 + 1));
                summary.order = files_;
                for (const int64_t t : summary.runs) earliest_ = std::min(earliest_, t), latest_ = std::max(latest_, t);
                timeline_.add(std::move(summary));
                break;
            }
            case k_row_line:
                row = line_text(line);
                break;
            case k_json_line:
                data += line_text(line);
                break;
            case k_name_line:
                name = line_text(line);
                if (!data.empty() && data.back() != '[') data += ',';
                data += std::to_string(name_number(name, new_names));
                break;
        }
    }
    std::string page;
    if (files_ % k_rows_per_part == 0) {
        if (files_ != 0) page += k_part_end;
        page += "<div class=\"part\"><table>" + columns_ + "<tbody>\n";
    }
    if (!new_names.empty()) page += "<script type=\"application/json\" class=\"rt-s\">[" + new_names + "]</script>\n";
    page += "<tr id=\"f" + std::to_string(files_) + '"' + row + "</tr>\n";
    page += "<script type=\"application/json\" class=\"rt-f\">" + data + "</script>\n";
    report.replace(mark, std::string::npos, page);
    ++files_;
}

void html_report::finish(const run_totals& totals, std::string& out) {
    if (!page_started_) write_page_start(out);
    if (files_ != 0) out += k_part_end;
    out += "</div></section>\n<section id=\"summary\"><p>";
    out += std::to_string(totals.reported) + (totals.reported == 1 ? " file" : " files") + " reported, " +
           std::to_string(totals.skipped) + " skipped.";
    if (earliest_ <= latest_) {
        out += " Stored run times from <time>";
        append_page_time(out, earliest_);
        out += "</time> to <time>";
        append_page_time(out, latest_);
        out += "</time> UTC.";
    }
    out += "</p></section>\n<section id=\"timeline\"><h2>Execution timeline</h2>";
    out += "<p class=\"js-only controls\"><label>Rows by <select id=\"order\"><option value=\"last\">last run</option>"
           "<option value=\"first\">first stored run</option><option value=\"name\">name</option></select></label> "
           "<label>From <input id=\"from\" size=\"24\" placeholder=\"2016-01-16 21:00\"></label> "
           "<label>to <input id=\"to\" size=\"24\" placeholder=\"2016-01-17\"></label> "
           "<button id=\"apply\" type=\"button\">Narrow</button> <button id=\"reset\" type=\"button\">Reset</button> "
           "<span class=\"hint\">or drag across the timeline</span></p><div id=\"tl-box\">";
    timeline_.draw(out);
    out += "</div></section>\n<section id=\"details\" hidden></section>\n<pre id=\"rt-errors\" hidden></pre>\n<script>";
    out += k_page_script;
    out += "</script>\n</body></html>\n";
}

}  // namespace runtrail
