#include "text_report.h"

#include <charconv>
#include <iterator>

#include "field_text.h"
#include "hash_verdict.h"
#include "hex_text.h"

namespace runtrail {
namespace {

// Names come from the file: a crafted one must not forge report lines or drive the terminal.
std::string one_line(std::string text) {
    make_printable(text);
    return text;
}

// A line of a list of names: "001 : NAME", "1234 : NAME", the number at least three digits, the
// name made printable as one_line() makes it.
void append_entry(std::string& out, size_t n, std::string_view name) {
    char digits[24];
    const auto length = static_cast<size_t>(std::to_chars(std::begin(digits), std::end(digits), n).ptr - digits);
    if (length < 3) out.append(3 - length, '0');
    out.append(digits, length);
    out += " : ";
    append_printable(out, name);
    out += '\n';
}

}  // namespace

void text_report::render(const file_facts& file, const prefetch_record& record, std::string& out) const {
    const time_format& times = settings_.times;
    out += "Analyzing file: " + one_line(file.path) + "\n";
    // The prefetch file's own times: whole seconds.
    out += "modified:       " + times.text_whole_seconds(file.modified) + "\n";
    out += "accessed:       " + times.text_whole_seconds(file.accessed) + "\n";
    out += "stats changed   " + times.text_whole_seconds(file.changed) + "\n";
    if (file.from_image) {
        // What only the volume keeps: the file's creation (near the program's first run) and its MFT entry.
        out += "created:        " + times.text_whole_seconds(file.created) + "\n";
        out += "MFT entry:      " + std::to_string(file.mft_entry) + "\n";
        if (file.deleted) out += "deleted:        yes\n";
    }
    out += "\n";
    out += "target file:    " + one_line(record.exe_name) + ", run " + std::to_string(record.run_count) + " times\n";
    out += "Last run:       " + times.text(record.last_run) + "\n";
    for (uint64_t t : record.earlier_runs) out += "Prev run:       " + times.text(t) + "\n";
    out += "path:           " + one_line(record.target_path) + "\n";
    if (settings_.hash_check)
        out += "hash check:     " + upper_hex_text(record.prefetch_hash) + ", " + hash_verdict(file.name, record) + "\n";

    out += "\n --------- files mapped --------- \n\n\n";
    size_t n = 0;
    for (const std::string& name : record.modules) append_entry(out, ++n, name);

    out += "\n --------- directories mapped --------- \n\n\n";
    for (const volume_record& volume : record.volumes) {
        out += "vol path:     " + one_line(volume.device_path) + "\n";
        out += "time created: " + times.text(volume.created) + "\n";
        out += "serial num:   " + volume_serial_text(volume.serial) + "\n";
        out += "\n";
        size_t d = 0;
        for (const std::string& directory : volume.directories) append_entry(out, ++d, directory);
        out += "\n";
    }
}

}  // namespace runtrail
