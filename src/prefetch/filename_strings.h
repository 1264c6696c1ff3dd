// The filename strings block: the files the program loaded, and its own full path among them.
#pragma once

#include "byte_reader.h"
#include "header.h"
#include "prefetch_record.h"

namespace runtrail {

// The modules, and as the target path the first that holds the executable's name (empty when none
// does); `target_units` receives that path as stored, UTF-16LE units without terminator. False when
// the filename strings start past the end of the image.
bool read_filename_strings(byte_span image, const prefetch_header& header, prefetch_record& record,
                           byte_span& target_units);

}  // namespace runtrail
