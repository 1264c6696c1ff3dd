// The filename strings block: the files the program loaded, and its own full path among them.
#pragma once

#include <string_view>
#include <vector>

#include "byte_reader.h"
#include "header.h"
#include "prefetch_record.h"

namespace runtrail {

// The modules, and as the target path the first that holds the executable's name (empty when none
// does); `module_units` receives each module as stored, its UTF-16LE units inside `image` without
// terminator. False when the filename strings start past the end of the image.
bool read_filename_strings(byte_span image, const prefetch_header& header, prefetch_record& record,
                           std::vector<byte_span>& module_units);

// True when the last component of `path` is the program's own file name `exe_name` (ASCII letters
// in either case). Windows keeps at most 29 characters of a longer name in the header, so a name of
// 29 characters need only begin the component.
bool is_program_file_name(std::string_view path, std::string_view exe_name);

}  // namespace runtrail
