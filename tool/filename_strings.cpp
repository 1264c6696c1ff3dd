// The filename strings block: zero-terminated UTF-16LE device paths of the files the program
// loaded, one per metrics entry. They give the module list and the executable's full path.
#include <algorithm>

#include "prefetch_layout.h"
#include "prefetch_parser.h"
#include "prefetch_sections.h"
#include "qn_string.h"

namespace pl = prefetch_layout;

bool read_filename_strings(std::map<uint64_t, std::string>& modules, std::u16string& exe_name,
                           qn::byte_view image) {
    if (!validate_header(image)) return false;
    const uint64_t length = image.size();
    const uint64_t offset = image.u32(pl::header::filename_strings_offset).value_or(0);
    if (offset > length) return false;

    // One string per metrics entry; the array must fit in the image, which caps a hostile count.
    // A file without a count gets the same cap: otherwise an image of zero units would give one
    // empty entry per two bytes, each costing a map node many times the bytes it came from.
    const uint64_t metrics_count = image.u32(pl::header::metrics_count).value_or(0);
    const uint64_t max_strings = length / pl::k_min_metrics_entry_size;
    const uint64_t string_count = metrics_count == 0 ? max_strings : std::min(metrics_count, max_strings);
    // Without a count, the strings end with the block the header declares (never past the image),
    // instead of turning padding and the following sections into names.
    uint64_t end = length;
    if (metrics_count == 0)
        end = std::min(length, offset + image.u32(pl::header::filename_strings_size).value_or(0));

    bool searching = true;
    std::u16string current;
    uint64_t pos = offset;
    for (uint64_t number = 1; pos < end; ++number) {
        const utf16_run run = read_utf16_units(image, pos, (end - pos) / 2, current);
        if (!run.terminated) break;  // units after the last terminator are not a string
        if (searching && current.find(exe_name) != std::u16string::npos) {
            exe_name = current;
            searching = false;
        }
        modules.emplace_hint(modules.end(), pos, qn::utf16_units_to_utf8(current));  // file order: append
        if (number >= string_count) break;
        pos += 2 * (run.units + 1);
    }
    if (searching) exe_name.clear();
    return true;
}
