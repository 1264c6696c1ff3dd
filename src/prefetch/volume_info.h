// The volume information section: each volume's device path, serial, creation time and directories.
#pragma once

#include <vector>

#include "byte_reader.h"
#include "header.h"
#include "prefetch_record.h"

namespace runtrail {

// False when the volume section starts past the end of the image.
bool read_volumes(byte_span image, const prefetch_header& header, std::vector<volume_record>& volumes);

}  // namespace runtrail
