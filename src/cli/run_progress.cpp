#include "run_progress.h"

#include <time.h>

#include <utility>
#include <vector>

#include "unicode_text.h"

namespace runtrail {
namespace {

// Moves the cursor to the start of the line and erases it: the line is rewritten, never scrolled.
constexpr const char* k_line_start = "\r";
constexpr const char* k_erase_to_end = "\x1b[K";
// Below this many free columns the directory is left out rather than shown as a stub.
constexpr size_t k_min_directory_columns = 12;

std::string elapsed_text(uint64_t ms) {
    const uint64_t seconds = ms / 1000;
    char text[32];
    if (seconds < 3600)
        std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(seconds / 60),
                      static_cast<unsigned>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

}  // namespace

uint64_t coarse_monotonic_ms() {
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000U + static_cast<uint64_t>(now.tv_nsec) / 1'000'000U;
}

std::string group_thousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
    return digits;
}

std::string fit_path(const std::string& path, size_t columns) {
    // Split into printable units with their width. Characters from U+1000 up count as two
    // columns: wide scripts must not push the line past the edge, and a narrow one shown a
    // little short does no harm.
    struct unit {
        size_t at, length, width;
    };
    std::vector<unit> units;
    size_t total = 0;
    for (size_t at = 0; at < path.size();) {
        const auto byte = static_cast<unsigned char>(path[at]);
        char32_t code_point = byte;
        size_t length = byte < 0x80 ? 1 : utf8_sequence_length(path, at, code_point);
        // Control codes, C1 codes (U+0080 to U+009F) and broken UTF-8 are not shown.
        const bool printable = length != 0 && code_point >= 0x20 && (code_point < 0x7F || code_point > 0x9F);
        if (!printable) length = 1;
        const size_t width = printable && length >= 3 && byte > 0xE0 ? 2 : 1;
        units.push_back({printable ? at : std::string::npos, length, width});
        total += width;
        at += length;
    }
    const std::string ellipsis = "...";
    size_t first = 0;
    if (total > columns) {
        if (columns <= ellipsis.size()) return std::string(ellipsis, 0, columns);
        size_t room = columns - ellipsis.size();
        first = units.size();
        while (first > 0 && units[first - 1].width <= room) room -= units[--first].width;
    }
    std::string fitted = total > columns ? ellipsis : std::string();
    for (size_t i = first; i < units.size(); ++i) {
        if (units[i].at == std::string::npos)
            fitted += '?';
        else
            fitted.append(path, units[i].at, units[i].length);
    }
    return fitted;
}

run_progress::run_progress(std::FILE* out, bool draw, progress_clock clock)
    : out_(out), draw_(draw && out), clock_(std::move(clock)) {
    if (!draw_) return;
    start_ms_ = clock_();
    // A run that ends within the first interval never shows a line.
    next_draw_ms_ = start_ms_ + k_redraw_interval_ms;
}

void run_progress::file_done(bool reported) {
    ++(reported ? reported_ : skipped_);
    if (!draw_) return;
    const uint64_t now = clock_();
    if (now >= next_draw_ms_) redraw(now);
}

void run_progress::reports_lost(uint64_t count) {
    if (count > reported_) count = reported_;
    reported_ -= count;
    skipped_ += count;
}

void run_progress::hide() {
    if (!showing_) return;
    std::fputs(k_line_start, out_);
    std::fputs(k_erase_to_end, out_);
    std::fflush(out_);
    showing_ = false;
}

std::string run_progress::status_text(uint64_t now) const {
    const uint64_t elapsed = now > start_ms_ ? now - start_ms_ : 0;
    const uint64_t rate = elapsed ? files() * 1000 / elapsed : 0;
    std::string text = group_thousands(files()) + " files: " + group_thousands(reported_) + " reported, " +
                       group_thousands(skipped_) + " skipped, " + elapsed_text(elapsed) + ", " +
                       group_thousands(rate) + " files/s";
    if (directory_ && !directory_->empty() && text.size() + 2 + k_min_directory_columns <= k_line_columns)
        text += ", " + fit_path(*directory_, k_line_columns - text.size() - 2);
    if (text.size() > k_line_columns) text.resize(k_line_columns);  // counts in the billions
    return text;
}

std::string run_progress::summary() const {
    return "runtrail: " + group_thousands(files()) + (files() == 1 ? " file: " : " files: ") +
           group_thousands(reported_) + " reported, " + group_thousands(skipped_) + " skipped\n";
}

void run_progress::redraw(uint64_t now) {
    const std::string line = k_line_start + status_text(now) + k_erase_to_end;
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
    showing_ = true;
    next_draw_ms_ = now + k_redraw_interval_ms;
}

}  // namespace runtrail
