// JSON Lines: each prefetch file becomes one JSON object on one line, with every value the
// parse produced. Times keep their full 100 ns precision; a time that is not valid is null.
#include "jsonl_report.h"

#include <cstdio>
#include <ostream>

#include "json_text.h"
#include "qn_time.h"
#include "report_format.h"
#include "report_writers.h"
#include "runtrail_user_context.h"

namespace {

class json_object_writer {
public:
    explicit json_object_writer(std::string& out) : out_(out) { out_.push_back('{'); }
    void key(const char* name) {
        if (!first_) out_.push_back(',');
        first_ = false;
        qn::append_json_string(out_, name);
        out_.push_back(':');
    }
    void text(const char* name, const std::string& value) {
        key(name);
        qn::append_json_string(out_, value);
    }
    void number(const char* name, uint64_t value) {
        key(name);
        out_ += std::to_string(value);
    }
    void time(const char* name, uint64_t filetime) {
        key(name);
        out_ += json_time(filetime);
    }
    void close() { out_.push_back('}'); }

private:
    std::string& out_;
    bool first_ = true;
};

}  // namespace

std::string json_time(uint64_t filetime) {
    const qn::time t(static_cast<int64_t>(filetime), qn::type_filetime);
    if (!t.valid) return "null";
    const auto& st = t.systemtime;
    char text[96];
    std::snprintf(text, sizeof text, "\"%04u-%02u-%02uT%02u:%02u:%02u.%07lluZ\"", unsigned{st.year},
                  unsigned{st.month}, unsigned{st.day}, unsigned{st.hour}, unsigned{st.minute}, unsigned{st.second},
                  static_cast<unsigned long long>(filetime % qn::k_ticks_per_second));
    return text;
}

int write_jsonl_report(std::ostream& out, runtrail_user_context& ctx) {
    if (!ctx.out_jsonl) return 0;
    std::string line;
    json_object_writer object(line);
    object.text("file_path", ctx.file_path);
    object.text("file_name", ctx.file_name);
    object.number("file_size", ctx.prefetch_file_size);
    object.time("modified", ctx.prefetch_file_times[k_file_time_modified]);
    object.time("accessed", ctx.prefetch_file_times[k_file_time_accessed]);
    object.time("changed", ctx.prefetch_file_times[k_file_time_changed]);
    object.number("version", ctx.format_version);
    object.text("version_label", ctx.source_label);
    object.text("exe_name", ctx.exe_name);
    object.text("target_path", ctx.target_path);
    object.number("run_count", ctx.run_count);
    object.time("last_run", ctx.last_run_time);

    object.key("previous_runs");
    line.push_back('[');
    bool first = true;
    for (uint64_t t : ctx.prev_run_times) {
        if (!first) line.push_back(',');
        line += json_time(t);
        first = false;
    }
    line.push_back(']');

    object.key("modules");
    line.push_back('[');
    first = true;
    for (const auto& [offset, name] : ctx.modules) {
        if (!first) line.push_back(',');
        qn::append_json_string(line, name);
        first = false;
    }
    line.push_back(']');

    object.key("volumes");
    line.push_back('[');
    for (size_t i = 0; i < ctx.volume_paths.size(); ++i) {
        if (i) line.push_back(',');
        json_object_writer volume(line);
        volume.text("device_path", ctx.volume_paths[i]);
        volume.key("serial");
        if (i < ctx.volume_serials.size()) qn::append_json_string(line, format_volume_serial(ctx.volume_serials[i]));
        else line += "null";
        volume.time("created", i < ctx.volume_times.size() ? ctx.volume_times[i] : 0);
        volume.key("directories");
        line.push_back('[');
        if (i < ctx.volume_dirs.size()) {
            bool first_dir = true;
            for (const auto& [position, dir] : ctx.volume_dirs[i]) {
                if (!first_dir) line.push_back(',');
                qn::append_json_string(line, dir);
                first_dir = false;
            }
        }
        line.push_back(']');
        volume.close();
    }
    line.push_back(']');
    object.close();
    line.push_back('\n');
    out << line;
    return 1;
}
