// Placeholder until the per-file chain lands.
#include "process_inputs.h"
#include "runtrail_user_context.h"

bool process_inputs(runtrail_user_context&, std::ostream&) { return false; }
bool output_prefetch_entry(std::ostream&, runtrail_user_context&) { return false; }
bool read_prefetch_file(runtrail_user_context&) { return false; }
