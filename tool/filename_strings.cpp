// The filename strings block: zero-terminated UTF-16LE device paths of the files the program
// loaded, one per metrics entry. They give the module list and the executable's full path.
#include <algorithm>
#include <string_view>

#include "prefetch_layout.h"
#include "prefetch_parser.h"
#include "prefetch_sections.h"

namespace pl = prefetch_layout;

namespace {

std::string_view as_chars(qn::byte_view bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// True when the UTF-16LE units of `name` occur in those of `text` as whole code units: a byte
// match that starts in the middle of a unit does not count. An empty name occurs everywhere.
bool contains_units(qn::byte_view text, qn::byte_view name) {
    const std::string_view haystack = as_chars(text);
    const std::string_view needle = as_chars(name);
    for (size_t at = haystack.find(needle); at != std::string_view::npos; at = haystack.find(needle, at + 1))
        if (at % 2 == 0) return true;
    return false;
}

}  // namespace

bool read_filename_strings(std::map<uint64_t, std::string>& modules, qn::byte_view exe_name,
                           std::string& target_path, qn::byte_view image) {
    if (!validate_header(image)) return false;
    const uint64_t length = image.size();
    const uint64_t offset = image.u32(pl::header::filename_strings_offset).value_or(0);
    if (offset > length) return false;

    // One string per metrics entry; the array must fit in the image, which caps a hostile count.
    const uint64_t metrics_count = image.u32(pl::header::metrics_count).value_or(0);
    const uint64_t string_count = std::min(metrics_count, length / pl::k_min_metrics_entry_size);
    // Without a count, the strings end with the block the header declares (never past the image),
    // instead of turning padding and the following sections into names.
    uint64_t end = length;
    if (metrics_count == 0)
        end = std::min(length, offset + image.u32(pl::header::filename_strings_size).value_or(0));

    bool searching = true;
    uint64_t pos = offset;
    for (uint64_t number = 1; pos < end; ++number) {
        std::string text;
        const utf16_run run = read_utf16_text(image, pos, (end - pos) / 2, text);
        if (!run.terminated) break;  // units after the last terminator are not a string
        if (searching && contains_units(image.sub(pos, 2 * run.units).value_or(qn::byte_view{}), exe_name)) {
            target_path = text;
            searching = false;
        }
        // Offsets only grow, so every string goes to the end of the map.
        modules.emplace_hint(modules.end(), pos, std::move(text));
        if (number == string_count) break;
        pos += 2 * (run.units + 1);
    }
    if (searching) target_path.clear();
    return true;
}
