// The run context of the command line: end-of-run housekeeping asked for by generic options
// (erase the progress line, report the elapsed time under -profile and into the -diags log,
// hand the -signal text to a callback).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct cmd_params;

class cmdline_ctx {
public:
    using signal_handler = std::function<uint32_t(const std::string&)>;

    cmdline_ctx() = default;
    virtual ~cmdline_ctx();
    cmdline_ctx(const cmdline_ctx&) = delete;
    cmdline_ctx& operator=(const cmdline_ctx&) = delete;

    // Takes what the end of the run needs from the parsed settings and starts the timer when
    // -profile or the diagnostic log asks for the elapsed time.
    void setup(const cmd_params& settings, signal_handler callback);

    // The end-of-run report, as the destructor writes it: "->" + seconds + " secs".
    std::string elapsed_text() const;

    uint32_t exit_word = 0;
    bool clear_progress = false;
    uint64_t timer_start = 0;  // seconds << 32 | fraction in units of 2^-32 s; 0: no timer
    bool profile = false;
    std::string diag_path;
    std::string signal_text;
    signal_handler signal_callback;
    // Written to standard error right after the progress line is erased (the multi-file summary).
    std::string closing_note;
};

// Current wall-clock time as seconds << 32 | fraction in units of 2^-32 s.
uint64_t wall_clock_now();

// Erases the progress line on standard error: ESC[2K, CR, 27 spaces, CR.
void clear_progress_line();
// The same, only when the settings exist and show progress.
void clear_progress_line(const cmd_params* settings);
