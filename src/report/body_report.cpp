#include "body_report.h"

#include <array>

#include "filetime.h"

namespace runtrail {
namespace {

constexpr const char* k_header =
    "md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time\n";
// The layout's own separator, whatever -csv_separator says; a "|" in a name becomes ";".
constexpr const char* k_separator = "|";
constexpr char k_separator_replacement = ';';

}  // namespace

body_report::body_report(const report_settings& settings)
    : report_writer(settings), guard_(k_separator, k_separator[0], k_separator_replacement) {}

void body_report::start(const file_facts&, std::string& out) { out += k_header; }

void body_report::render(const file_facts& file, const prefetch_record& record, std::string& out) const {
    // A deleted file is marked as sleuthkit's own listings mark it.
    const std::string label =
        file.name + (file.deleted ? " (deleted)" : "") + " (" + version_label(record.version) + ")";
    const std::string inode = std::to_string(file.mft_entry);
    // Times in the order M, A, C, B; a line gives them as atime, mtime, ctime (the mft time),
    // crtime. A time that does not print as a date in the other forms is 0 (no time) here too.
    auto line = [&](std::string name, const std::array<uint64_t, 4>& times) {
        guard_.protect(name);
        out += "0|" + name + "|" + inode + "||0|0|" + std::to_string(file.size);
        for (size_t slot : {1, 0, 2, 3}) out += '|' + std::to_string(unix_seconds_or_zero(times[slot]));
        out += '\n';
    };
    // The file's own creation time, where the volume kept it, is its B time.
    const uint64_t born = file.from_image ? file.created : record.run_count == 1 ? record.last_run : file.changed;
    line(label + "; run count: " + std::to_string(record.run_count) + "; app run: " + record.target_path,
         {file.modified, file.accessed, record.last_run, born});
    for (uint64_t t : record.earlier_runs)
        line(label + "; not last time run - but prevtime; app run: " + record.target_path, {t, t, t, file.changed});
}

}  // namespace runtrail
