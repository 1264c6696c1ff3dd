// The file metrics array: one entry per file the program loaded, which from version 23 on holds
// the file's NTFS file reference.
#pragma once

#include <vector>

#include "byte_reader.h"
#include "header.h"
#include "prefetch_record.h"

namespace runtrail {

// One reference per module (`module_units` as read from the filename strings, inside `image`):
// that of the metrics entry whose filename offset is where the module's string starts, else 0.
// Entries are read only as far as the image holds them; an entry that names no string start (past
// the strings read, or inside one) costs its own reference and nothing else.
void read_file_references(byte_span image, const prefetch_header& header, const std::vector<byte_span>& module_units,
                          std::vector<ntfs_file_reference>& references);

}  // namespace runtrail
