#include "cmdline_ctx.h"

#include <sys/time.h>

#include <cstdio>
#include <sstream>

#include "cmd_params.h"
#include "fileio.h"

uint64_t wall_clock_now() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    const uint64_t fraction = (static_cast<uint64_t>(tv.tv_usec) << 32) / 1'000'000ULL;
    return (static_cast<uint64_t>(tv.tv_sec) << 32) | fraction;
}

void clear_progress_line() {
    std::fputs("\x1b[2K\r                           \r", stderr);
    std::fflush(stderr);
}

void clear_progress_line(const cmd_params* settings) {
    if (settings && settings->show_progress) clear_progress_line();
}

void cmdline_ctx::setup(const cmd_params& settings, signal_handler callback) {
    clear_progress = settings.show_progress;
    if (settings.diag_on && settings.diag_stream && settings.diag_stream->good()) diag_path = settings.diag_path;
    profile = settings.profile;
    if (profile || !diag_path.empty()) timer_start = wall_clock_now();
    if (callback && !settings.signal_text.empty()) {
        signal_callback = std::move(callback);
        signal_text = settings.signal_text;
    }
}

std::string cmdline_ctx::elapsed_text() const {
    const uint64_t now = wall_clock_now();
    const double elapsed = now > timer_start ? static_cast<double>(now - timer_start) / 4294967296.0 : 0.0;
    std::ostringstream text;
    text << "->" << elapsed << " secs";
    return text.str();
}

cmdline_ctx::~cmdline_ctx() {
    // Everything here is best effort: a failure is skipped silently.
    try {
        if (clear_progress) clear_progress_line();
        if (!closing_note.empty()) {
            std::fputs(closing_note.c_str(), stderr);
            std::fflush(stderr);
        }
        if (timer_start != 0) {
            const std::string text = elapsed_text();
            if (profile) {
                std::fprintf(stderr, "%s\n", text.c_str());
                std::fflush(stderr);
            }
            if (!diag_path.empty()) {
                uni::fileio log;
                if (log.open(diag_path, true, false, false)) log.append(text.data(), text.size());
            }
        }
        if (signal_callback && !signal_text.empty()) signal_callback(signal_text);
    } catch (...) {
    }
}
