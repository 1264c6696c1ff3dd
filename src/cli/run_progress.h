// The status of a multi-file run: a status line on a terminal, redrawn in place a few times a
// second (files so far, reported, skipped, elapsed time, files per second and, in a directory
// walk, the directory being listed), and a one-line summary at the end of the run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace runtrail {

// Milliseconds on a monotonic clock. The run reads it once per file, so it must be cheap.
using progress_clock = std::function<uint64_t()>;
uint64_t coarse_monotonic_ms();

// 40000 -> "40,000".
std::string group_thousands(uint64_t value);

// `path` made safe and short enough for one terminal line of `columns` columns: control bytes
// and broken UTF-8 become '?', and a path that is too long keeps its tail behind "...".
std::string fit_path(const std::string& path, size_t columns);

class run_progress {
public:
    static constexpr uint64_t k_redraw_interval_ms = 100;
    // An 80-column terminal; the last column stays free so that the cursor never wraps.
    static constexpr size_t k_line_columns = 79;

    // `draw`: keep a status line on `out` (a terminal). Without it only the counts are kept.
    run_progress(std::FILE* out, bool draw, progress_clock clock = coarse_monotonic_ms);
    run_progress(const run_progress&) = delete;
    run_progress& operator=(const run_progress&) = delete;

    // The directory shown in the status line; read only when the line is redrawn.
    void watch_directory(const std::string* directory) { directory_ = directory; }

    // One input name has been handled; redraws the status line when a redraw is due.
    void file_done(bool reported);
    // The output failed: `count` of the files counted as reported never reached it, and count as
    // skipped instead.
    void reports_lost(uint64_t count);
    // Erases the status line (when one is showing) so that a message can stand on its own line;
    // the line comes back with the next redraw.
    void hide();

    // The status line's text at time `now` (no control characters, at most k_line_columns).
    std::string status_text(uint64_t now) const;
    // "runtrail: 40,000 files: 39,700 reported, 300 skipped\n"
    std::string summary() const;

    uint64_t files() const { return reported_ + skipped_; }
    uint64_t reported() const { return reported_; }
    uint64_t skipped() const { return skipped_; }
    bool showing() const { return showing_; }

private:
    void redraw(uint64_t now);

    std::FILE* out_;
    bool draw_;
    progress_clock clock_;
    uint64_t start_ms_ = 0;
    uint64_t next_draw_ms_ = 0;
    uint64_t reported_ = 0;
    uint64_t skipped_ = 0;
    bool showing_ = false;
    const std::string* directory_ = nullptr;
};

}  // namespace runtrail
