// The file metrics array: fixed-size entries (layout per version in layout.h), each naming its file
// by the offset of the file's string in the filename strings block.
#include "file_metrics.h"

#include <algorithm>

#include "layout.h"

namespace runtrail {

namespace pl = prefetch_layout;

void read_file_references(byte_span image, const prefetch_header& header, const std::vector<byte_span>& module_units,
                          std::vector<ntfs_file_reference>& references) {
    references.assign(module_units.size(), {});
    const pl::metrics_entry_layout* layout = pl::metrics_entry_layout_of(header.version);
    if (layout == nullptr || layout->file_reference == pl::k_no_file_reference || module_units.empty()) return;
    if (header.metrics_offset > image.size()) return;
    const uint64_t entries = std::min<uint64_t>(header.metrics_count, (image.size() - header.metrics_offset) / layout->size);

    // The modules' strings lie inside the image in ascending order: each one's offset in the image.
    auto string_start = [&](size_t index) { return static_cast<uint64_t>(module_units[index].data() - image.data()); };
    byte_reader in(image);
    size_t next = 0;  // the module the next entry names in a file whose entries follow the strings
    for (uint64_t k = 0; k < entries; ++k) {
        const uint64_t entry = header.metrics_offset + k * layout->size;
        const uint64_t named = uint64_t{header.filename_strings_offset} + in.u32(entry + layout->filename_offset);
        const uint64_t value = in.u64(entry + layout->file_reference);
        if (!in.ok()) return;
        size_t index = next;
        if (index >= module_units.size() || string_start(index) != named) {
            size_t low = 0, high = module_units.size();  // the first module starting at or after `named`
            while (low < high) {
                const size_t middle = low + (high - low) / 2;
                if (string_start(middle) < named)
                    low = middle + 1;
                else
                    high = middle;
            }
            index = low;
            if (index == module_units.size() || string_start(index) != named) continue;
        }
        // Two entries naming one string: the first reference that is not 0 stands.
        if (references[index].value == 0) references[index].value = value;
        next = index + 1;
    }
}

}  // namespace runtrail
