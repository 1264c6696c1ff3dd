#include "jsonl_report.h"

#include <cstdio>

#include "filetime.h"
#include "hash_verdict.h"
#include "json_text.h"
#include "prefetch_hash.h"
#include "hex_text.h"

namespace runtrail {

void append_json_time(std::string& out, uint64_t filetime) {
    const std::optional<utc_time> t = printable_time(filetime);
    if (!t) {
        out += "null";
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "\"%04d-%02u-%02uT%02u:%02u:%02u.%07uZ\"", t->year, t->month, t->day, t->hour,
                  t->minute, t->second, t->ticks);
    out += text;
}

void jsonl_report::render(const file_facts& file, const prefetch_record& record, std::string& out) const {
    {
        json_object object(out);
        object.text("file_path", file.path);
        object.text("file_name", file.name);
        object.number("file_size", file.size);
        append_json_time(object.key("modified"), file.modified);
        append_json_time(object.key("accessed"), file.accessed);
        append_json_time(object.key("changed"), file.changed);
        if (file.from_image) {
            append_json_time(object.key("created"), file.created);
            object.number("mft_entry", file.mft_entry);
            object.boolean("deleted", file.deleted);
        }
        object.number("version", record.version);
        object.text("version_label", version_label(record.version));
        object.text("exe_name", record.exe_name);
        object.text("target_path", record.target_path);
        object.number("run_count", record.run_count);
        append_json_time(object.key("last_run"), record.last_run);
        object.array("previous_runs", record.earlier_runs, append_json_time);
        object.array("modules", record.modules, append_json_string);
        // One per module, in the same order: {"mft_entry":N,"mft_sequence":N}, or null.
        object.key("module_references") += '[';
        for (size_t i = 0; i < record.modules.size(); ++i) {
            if (i > 0) out += ',';
            const ntfs_file_reference reference =
                i < record.module_references.size() ? record.module_references[i] : ntfs_file_reference{};
            if (reference.value == 0) {
                out += "null";
                continue;
            }
            json_object entry(out);
            entry.number("mft_entry", reference.mft_entry());
            entry.number("mft_sequence", reference.sequence());
        }
        out += ']';
        object.array("volumes", record.volumes, [](std::string& line, const volume_record& v) {
            json_object volume(line);
            volume.text("device_path", v.device_path);
            volume.text("serial", volume_serial_text(v.serial));
            append_json_time(volume.key("created"), v.created);
            volume.array("directories", v.directories, append_json_string);
        });
        object.text("prefetch_hash", upper_hex_text(record.prefetch_hash));
        if (const std::optional<uint32_t> name_hash = name_hash_of(file.name))
            object.text("name_hash", upper_hex_text(*name_hash));
        else
            object.null("name_hash");
        add_path_hash_members(object, record.path_check);
    }
    out += '\n';
}

}  // namespace runtrail
