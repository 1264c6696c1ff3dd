#include "timesketch_report.h"

#include <cstdio>
#include <optional>

#include "filename_strings.h"
#include "filetime.h"
#include "hash_verdict.h"
#include "json_text.h"
#include "prefetch_hash.h"
#include "hex_text.h"

namespace runtrail {
namespace {

constexpr const char* k_execution_data_type = "windows:prefetch:execution";
constexpr const char* k_volume_creation_data_type = "windows:volume:creation";
constexpr const char* k_last_run_description = "Last Time Executed";
constexpr const char* k_earlier_run_description = "Previous Last Time Executed";
constexpr const char* k_volume_creation_description = "Creation Time";
constexpr uint64_t k_ticks_per_microsecond = 10;

struct event_time {
    std::string datetime;  // "2016-01-11T22:08:20.985330+00:00"
    int64_t timestamp;     // microseconds since 1970 (negative before)
};

// The time of a valid FILETIME to the nearest microsecond (half a microsecond up), as plaso gives
// it, so that one search finds the same instant in both timelines. Nothing for a time that is not
// valid; rounding may carry a valid time into the next second, day or year.
std::optional<event_time> event_time_of(uint64_t filetime) {
    if (!printable_time(filetime)) return std::nullopt;
    const uint64_t microseconds = (filetime + k_ticks_per_microsecond / 2) / k_ticks_per_microsecond;
    const utc_time t = calendar_time(microseconds * k_ticks_per_microsecond);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u.%06u+00:00", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, static_cast<unsigned>(t.ticks / k_ticks_per_microsecond));
    constexpr auto k_epoch_microseconds = static_cast<int64_t>(k_filetime_of_unix_epoch / k_ticks_per_microsecond);
    return event_time{text, static_cast<int64_t>(microseconds) - k_epoch_microseconds};
}

// Bytes of device path that matching the program's modules to volumes may compare. A real file
// has a few volumes and one or two modules of the program's name: some hundred bytes.
constexpr uint64_t k_path_hint_compare_bytes = 0x1000000;  // 16 MiB

// plaso's path hints: for each volume in turn, each module on it whose file name is the
// executable's, without the volume's device path ("\WINDOWS\SYSTEM32\CMD.EXE").
//
// A module lies on one volume, the first whose device path it starts with. Windows never lists a
// volume twice, but a crafted file can: a hundred thousand volumes of one device path would
// otherwise give every module a hundred thousand hints. And a crafted file can have as many
// volumes and modules as its image holds, so matching them stops after a fixed number of bytes
// compared (a module or volume passed over counts too): the hints found by then are kept.
std::vector<std::string> path_hints_of(const prefetch_record& record) {
    std::vector<const std::string*> programs;  // the modules of the program's name, in file order
    for (const std::string& path : record.modules)
        if (is_program_file_name(path, record.exe_name)) programs.push_back(&path);
    std::vector<bool> placed(programs.size(), false);
    std::vector<std::string> hints;
    uint64_t compare_budget = k_path_hint_compare_bytes;
    for (const volume_record& volume : record.volumes) {
        const std::string& device = volume.device_path;
        for (size_t i = 0; i < programs.size() && hints.size() < programs.size(); ++i) {
            if (compare_budget <= device.size()) return hints;
            compare_budget -= device.size() + 1;
            if (placed[i]) continue;
            const std::string& path = *programs[i];
            if (path.starts_with(device) && path.size() > device.size() && path[device.size()] == '\\') {
                placed[i] = true;
                hints.push_back(path.substr(device.size()));
            }
        }
    }
    return hints;
}

// The mapped files as plaso writes them, as a JSON array: each module that is not empty, with
// " [entry-sequence]" when its file reference is not 0.
void append_mapped_files(std::string& out, const prefetch_record& record) {
    out += '[';
    bool first = true;
    std::string file;
    for (size_t i = 0; i < record.modules.size(); ++i) {
        if (record.modules[i].empty()) continue;
        if (!first) out += ',';
        first = false;
        const ntfs_file_reference reference =
            i < record.module_references.size() ? record.module_references[i] : ntfs_file_reference{};
        if (reference.value == 0) {
            append_json_string(out, record.modules[i]);
            continue;
        }
        file = record.modules[i];
        file += " [" + std::to_string(reference.mft_entry()) + "-" + std::to_string(reference.sequence()) + "]";
        append_json_string(out, file);
    }
    out += ']';
}

std::string joined(const std::vector<std::string>& items, const char* joiner) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i > 0 ? joiner : "") + items[i];
    return out;
}

// "Prefetch [CALC.EXE] was executed - run count 2 path hints: \WINDOWS\SYSTEM32\CALC.EXE hash:
// 0x3FBEF7FD volume: 1 [serial number: 0x8C9F49EC, device path: \VOLUME{...}]", as plaso words it.
std::string run_message(const prefetch_record& record, const std::vector<std::string>& hints) {
    std::string message = "Prefetch [" + record.exe_name + "] was executed - run count " +
                          std::to_string(record.run_count) +
                          " path hints: " + (hints.empty() ? std::string("[]") : joined(hints, "; ")) +
                          " hash: 0x" + upper_hex_text(record.prefetch_hash);
    for (size_t i = 0; i < record.volumes.size(); ++i) {
        const volume_record& v = record.volumes[i];
        message += (i > 0 ? ", volume: " : " volume: ") + std::to_string(i + 1) + " [serial number: 0x" +
                   upper_hex_text(v.serial) + ", device path: " + v.device_path + "]";
    }
    return message;
}

void append_when(json_object& event, const event_time& when, const char* description) {
    event.text("datetime", when.datetime);
    event.number("timestamp", when.timestamp);
    event.text("timestamp_desc", description);
}

}  // namespace

void timesketch_report::render(const file_facts& file, const prefetch_record& record, std::string& out) const {
    const std::vector<std::string> hints = path_hints_of(record);
    std::string message = run_message(record, hints);
    if (file.deleted) message += " (deleted prefetch file, MFT entry " + std::to_string(file.mft_entry) + ")";
    std::vector<std::string> device_paths;
    std::vector<uint32_t> serials;
    for (const volume_record& v : record.volumes) {
        device_paths.push_back(v.device_path);
        serials.push_back(v.serial);
    }
    auto append_source = [&](json_object& event) {
        event.text("filename", file.path);
        if (file.from_image) {
            event.number("mft_entry", file.mft_entry);
            event.boolean("deleted", file.deleted);
        }
        if (!settings_.host_name.empty()) event.text("hostname", settings_.host_name);
    };
    // The run events differ in their times alone: their message, and their members after the time,
    // are made once.
    std::string run_message_json;
    append_json_string(run_message_json, message);
    std::string run_members;
    {
        json_object after_time(run_members, json_object::continuing);
        after_time.text("data_type", k_execution_data_type);
        after_time.text("executable", record.exe_name);
        after_time.number("run_count", record.run_count);
        after_time.array("path_hints", hints, append_json_string);
        after_time.number("prefetch_hash", record.prefetch_hash);
        append_mapped_files(after_time.key("mapped_files"), record);
        after_time.number("number_of_volumes", record.volumes.size());
        after_time.array("volume_device_paths", device_paths, append_json_string);
        after_time.array("volume_serial_numbers", serials,
                         [](std::string& line, uint32_t serial) { line += std::to_string(serial); });
        after_time.number("version", record.version);
        if (const std::optional<uint32_t> name_hash = name_hash_of(file.name))
            after_time.number("name_hash", *name_hash);
        else
            after_time.null("name_hash");
        add_path_hash_members(after_time, record.path_check);
        after_time.text("hash_check", hash_verdict(file.name, record));
        append_source(after_time);
    }
    auto append_run_event = [&](const event_time& when, const char* description) {
        {
            json_object event(out);
            event.key("message") += run_message_json;
            append_when(event, when, description);
            out += run_members;
        }
        out += '\n';
    };

    const std::optional<event_time> last_run = event_time_of(record.last_run);
    if (last_run) append_run_event(*last_run, k_last_run_description);
    // A slot that repeats the last run is that same run.
    for (const uint64_t earlier : record.earlier_runs)
        if (const std::optional<event_time> when = event_time_of(earlier); when && earlier != record.last_run)
            append_run_event(*when, k_earlier_run_description);

    for (const volume_record& v : record.volumes) {
        const std::optional<event_time> created = event_time_of(v.created);
        if (!created) continue;
        {
            json_object event(out);
            event.text("message", v.device_path + " Serial number: 0x" + upper_hex_text(v.serial) + " Origin: " + file.name);
            append_when(event, *created, k_volume_creation_description);
            event.text("data_type", k_volume_creation_data_type);
            event.text("device_path", v.device_path);
            event.number("serial_number", v.serial);
            event.text("origin", file.name);
            append_source(event);
        }
        out += '\n';
    }
}

}  // namespace runtrail
