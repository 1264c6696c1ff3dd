// SIGINT and SIGTERM end a run cleanly: the first stops it taking names and putting out reports,
// so that what was written is whole reports, flushed, and the run says it was interrupted; a
// second ends the process at once.
#pragma once

namespace runtrail {

// The exit status of a run ended by signal n is this + n, as the shell reports a process it ended.
constexpr int k_exit_by_signal = 128;

// Installs the handlers. Blocking reads are interrupted rather than restarted, so that a run
// waiting for names notices.
void catch_interrupts();

// The signal that interrupted the run, or 0.
int interrupting_signal();

}  // namespace runtrail
