// The file information block: run count and run times.
#pragma once

#include "byte_reader.h"
#include "header.h"
#include "prefetch_record.h"

namespace runtrail {

// Run count and last run time from the version's file information layout (both 0 when the
// recorded file size is not above 227 or there is no layout for this version and metrics offset);
// the earlier run times of versions that keep eight run-time slots.
void read_run_information(byte_span image, const prefetch_header& header, prefetch_record& record);

}  // namespace runtrail
