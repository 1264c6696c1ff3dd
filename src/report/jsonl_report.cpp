#include "jsonl_report.h"

#include <cstdio>

#include "filetime.h"
#include "json_text.h"
#include "prefetch_hash.h"
#include "report_format.h"

namespace runtrail {
namespace {

// Writes the members of one object: each call appends `"name":value`, with the commas between.
class json_object {
public:
    explicit json_object(std::string& out) : out_(out) { out_.push_back('{'); }
    ~json_object() { out_.push_back('}'); }
    json_object(const json_object&) = delete;
    json_object& operator=(const json_object&) = delete;

    std::string& key(const char* name) {
        if (!first_) out_.push_back(',');
        first_ = false;
        append_json_string(out_, name);
        out_.push_back(':');
        return out_;
    }
    void text(const char* name, const std::string& value) { append_json_string(key(name), value); }
    void null(const char* name) { key(name) += "null"; }
    void boolean(const char* name, bool value) { key(name) += value ? "true" : "false"; }
    void number(const char* name, uint64_t value) { key(name) += std::to_string(value); }
    void time(const char* name, uint64_t filetime) { append_json_time(key(name), filetime); }
    template <typename T, typename F>
    void array(const char* name, const std::vector<T>& items, F append_item) {
        std::string& out = key(name);
        out.push_back('[');
        for (size_t i = 0; i < items.size(); ++i) {
            if (i > 0) out.push_back(',');
            append_item(out, items[i]);
        }
        out.push_back(']');
    }

private:
    std::string& out_;
    bool first_ = true;
};

}  // namespace

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
        object.time("modified", file.modified);
        object.time("accessed", file.accessed);
        object.time("changed", file.changed);
        object.number("version", record.version);
        object.text("version_label", version_label(record.version));
        object.text("exe_name", record.exe_name);
        object.text("target_path", record.target_path);
        object.number("run_count", record.run_count);
        object.time("last_run", record.last_run);
        object.array("previous_runs", record.earlier_runs, append_json_time);
        object.array("modules", record.modules, append_json_string);
        object.array("volumes", record.volumes, [](std::string& line, const volume_record& v) {
            json_object volume(line);
            volume.text("device_path", v.device_path);
            volume.text("serial", volume_serial_text(v.serial));
            volume.time("created", v.created);
            volume.array("directories", v.directories, append_json_string);
        });
        object.text("prefetch_hash", prefetch_hash_text(record.prefetch_hash));
        if (const std::optional<uint32_t> name_hash = name_hash_of(file.name))
            object.text("name_hash", prefetch_hash_text(*name_hash));
        else
            object.null("name_hash");
        switch (record.path_check.outcome) {
            case path_hash_outcome::matches: object.boolean("path_hash_match", true); break;
            case path_hash_outcome::differs: object.boolean("path_hash_match", false); break;
            case path_hash_outcome::no_path:
            case path_hash_outcome::no_rule: object.null("path_hash_match"); break;
        }
        if (record.path_check.device_path.empty())
            object.null("device_path");
        else
            object.text("device_path", record.path_check.device_path);
    }
    out += '\n';
}

}  // namespace runtrail
