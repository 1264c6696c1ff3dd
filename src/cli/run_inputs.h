// The run over the inputs the command line named: one file, the names on standard input, or a
// directory walk. Each name goes through the per-file chain; each file that yields a record is
// written by the run's report writer; a file that does not is named on standard error and skipped,
// and so is a name that is one of the files the run writes.
#pragma once

#include "diag_log.h"
#include "report_output.h"
#include "report_writer.h"
#include "run_progress.h"
#include "run_settings.h"
#include "written_files.h"

namespace runtrail {

// True when the last name handled was reported (false when there was none, or the names could
// not be read at all). A failed write to `output` ends the run.
bool run_inputs(const run_settings& settings, report_writer& writer, report_output& output, run_progress* progress,
                diag_log& log, const written_files& written);

}  // namespace runtrail
