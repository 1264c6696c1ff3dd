#include "report_size_bound.h"

#include <string>

namespace runtrail {
namespace {

// The most a byte of a name becomes in any form: a control code written as "\u0001" or "[0x01]".
// Every other byte that some form escapes ("\\", "&amp;") becomes less.
constexpr uint64_t k_most_bytes_per_escaped_byte = 6;

// What a form writes around each name, volume or run time: separators, labels, numbers, a file
// reference, a time.
constexpr uint64_t k_bytes_around_entry = 64;
// A row's or event's own text: its labels, times and numbers.
constexpr uint64_t k_bytes_per_row = 1024;

// Every byte of a name counted as if escaped: reckoned from the names' sizes alone, without
// reading them.
uint64_t written_size(const std::string& text) { return text.size() * k_most_bytes_per_escaped_byte; }

}  // namespace

uint64_t report_size_bound(const report_settings& settings, const file_facts& file, const prefetch_record& record,
                           const report_repeats& repeats) {
    uint64_t modules = 0, directories = 0, volumes = 0;
    for (const std::string& module : record.modules) modules += written_size(module) + k_bytes_around_entry;
    for (const volume_record& volume : record.volumes) {
        volumes += written_size(volume.device_path) + k_bytes_around_entry;
        for (const std::string& directory : volume.directories) directories += written_size(directory) + k_bytes_around_entry;
    }
    // A row names the program and the file, the file three times in some forms (in a message, a
    // description, an origin), and may list the run times.
    const uint64_t row = written_size(record.exe_name) + written_size(record.target_path) +
                         written_size(record.path_check.device_path) + written_size(file.path) +
                         3 * written_size(file.name) + written_size(settings.host_name) +
                         written_size(settings.user_name) + written_size(settings.program_name) +
                         k_bytes_around_entry * record.earlier_runs.size() + k_bytes_per_row;
    return repeats.module_passes * modules + repeats.directory_passes * directories + repeats.volume_passes * volumes +
           repeats.rows * row;
}

}  // namespace runtrail
