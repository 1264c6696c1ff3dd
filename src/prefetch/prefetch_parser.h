// A prefetch image ("SCCA", format versions 17, 23, 26, 30 and 31) to one record.
#pragma once

#include "byte_reader.h"
#include "prefetch_record.h"

namespace runtrail {

// Fills `record` from a complete, decompressed image. The texts and lists the record already holds
// are filled again, so that reading file after file into one record reuses their memory. False when
// the image is rejected (the record then holds no meaningful values): shorter than 228 bytes,
// without "SCCA" at offset 4, or with its filename strings or volume section starting past its end.
// A file information block that cannot be read is not a rejection: the run count and last run time
// are then 0.
bool parse_prefetch_image(byte_span image, prefetch_record& record);

}  // namespace runtrail
