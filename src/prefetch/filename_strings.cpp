// The filename strings block: zero-terminated UTF-16LE device paths of the files the program
// loaded, one per metrics entry. They give the module list and the executable's full path.
#include "filename_strings.h"

#include <algorithm>
#include <string_view>

#include "ascii_text.h"
#include "layout.h"
#include "utf16_string.h"

namespace runtrail {

namespace pl = prefetch_layout;

namespace {

// True when the UTF-16LE units of `name` occur in those of `text` as whole code units: a byte
// match that starts in the middle of a unit does not count. An empty name occurs everywhere.
bool contains_units(byte_span text, byte_span name) {
    const std::string_view haystack = text.as_chars();
    const std::string_view needle = name.as_chars();
    for (size_t at = haystack.find(needle); at != std::string_view::npos; at = haystack.find(needle, at + 1))
        if (at % 2 == 0) return true;
    return false;
}

}  // namespace

bool read_filename_strings(byte_span image, const prefetch_header& header, prefetch_record& record,
                           std::vector<byte_span>& module_units) {
    record.target_path.clear();
    module_units.clear();
    const uint64_t length = image.size();
    const uint64_t offset = header.filename_strings_offset;
    if (offset > length) return false;

    // One string per metrics entry; the array must fit in the image, which caps a hostile count.
    // A file without a count gets the same cap: otherwise an image of zero units would give one
    // empty entry per two bytes, each costing many times the bytes it came from.
    const uint64_t metrics_count = header.metrics_count;
    const uint64_t max_strings = length / pl::k_min_metrics_entry_size;
    const uint64_t string_count = metrics_count == 0 ? max_strings : std::min(metrics_count, max_strings);
    // Without a count, the strings end with the block the header declares (never past the image),
    // instead of turning padding and the following sections into names.
    const uint64_t end = metrics_count == 0 ? std::min(length, offset + header.filename_strings_size) : length;

    bool searching = true;
    byte_reader in(image);
    size_t used = 0;
    for (uint64_t pos = offset; pos < end;) {
        std::string& text = next_string(record.modules, used);
        const utf16_run run = read_utf16_string(image, pos, (end - pos) / 2, text);
        if (!run.terminated) break;  // units after the last terminator are not a string
        ++used;
        const byte_span units = in.span(pos, 2 * run.units);
        module_units.push_back(units);
        if (searching && contains_units(units, header.exe_name_units)) {
            record.target_path = text;
            searching = false;
        }
        if (used >= string_count) break;
        pos += 2 * (run.units + 1);
    }
    trim_strings(record.modules, used);
    return true;
}

bool is_program_file_name(std::string_view path, std::string_view exe_name) {
    if (exe_name.empty()) return false;
    const size_t slash = path.rfind('\\');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (equals_ignore_case(name, exe_name)) return true;
    const auto characters = std::count_if(exe_name.begin(), exe_name.end(),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    return characters == pl::k_cut_exe_name_characters && name.size() > exe_name.size() &&
           equals_ignore_case(name.substr(0, exe_name.size()), exe_name);
}

}  // namespace runtrail
