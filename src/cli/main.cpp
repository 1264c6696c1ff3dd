// runtrail: reports what Windows Prefetch files say about the programs they belong to.
#include <malloc.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "diag_log.h"
#include "options.h"
#include "report_output.h"
#include "report_writer.h"
#include "run_inputs.h"
#include "run_interrupt.h"
#include "run_progress.h"
#include "usage.h"
#include "written_files.h"

namespace runtrail {
namespace {

constexpr int k_exit_ok = 0;
constexpr int k_exit_failed = 255;

double wall_clock_seconds() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

std::string elapsed_text(double start) {
    char text[64];
    std::snprintf(text, sizeof text, "->%g secs", wall_clock_seconds() - start);
    return text;
}

// A run that ends before its first report still shows what was asked for.
void print_header_block(const std::vector<std::string>& args, bool without_header_block) {
    if (without_header_block) return;
    const std::string text = header_block(args) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// Opens the results file and the log without changing them, holds them (and standard output, when
// it is a regular file) against the input and each other, and only then empties them: a file named
// both to read and to write keeps every byte, and so does a prefetch file named as a destination.
// Returns the message that refuses the run, or nothing. A log that cannot be opened is left out
// with a message of its own.
std::string open_destinations(const run_settings& settings, report_output& output, diag_log& log) {
    const std::string& results = settings.results_path;
    const std::string& log_path = settings.diag_path;
    const std::string results_refused = "prob opening file " + results + " for output";
    const std::string log_refused = "prob opening diagnostic log " + log_path;
    if (!results.empty() && !output.open_file(results)) return results_refused + ", aborting";
    const std::string log_unusable = log_refused + ", going on without it\n";
    if (!log_path.empty() && !log.open(log_path)) std::fputs(log_unusable.c_str(), stderr);

    const written_files outputs(output.identity(), log.identity());
    if (outputs.log_is_results_file()) return log_refused + ": it is the results file, aborting";
    // The one file named to read: a prefetch file, or a disk image.
    const written_role input_role = settings.input == input_mode::single_file ? outputs.role_of(settings.file_path)
                                    : settings.input == input_mode::disk_image ? outputs.role_of(settings.image_path)
                                                                               : written_role::none;
    if (input_role == written_role::results_file && results.empty())
        return "prob writing to standard output: it is the input file, aborting";
    if (input_role == written_role::results_file) return results_refused + ": it is the input file, aborting";
    if (input_role == written_role::diagnostic_log) return log_refused + ": it is the input file, aborting";
    // A prefetch file is never emptied or extended, whether or not it is among the inputs.
    if (const auto id = output.identity(); id && !results.empty() && holds_prefetch_image(results, *id))
        return results_refused + ": it holds a prefetch file, aborting";
    if (const auto id = log.identity(); id && holds_prefetch_image(log_path, *id))
        return log_refused + ": it holds a prefetch file, aborting";

    if (!output.begin(settings.append_results)) return results_refused + ", aborting";
    if (log.is_open() && !log.begin()) std::fputs(log_unusable.c_str(), stderr);
    return {};
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) return k_exit_failed;
    const command_line parsed = parse_command_line(args);
    for (const std::string& warning : parsed.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
    if (parsed.result == command_line::outcome::help) {
        std::fputs(usage_text(args[0]).c_str(), stderr);
        return k_exit_ok;
    }
    if (parsed.result == command_line::outcome::failed) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        if (parsed.error_with_usage) std::fputs(usage_text(program_name_of(args[0])).c_str(), stderr);
        if (parsed.error_with_header_block) print_header_block(args, parsed.without_header_block);
        return k_exit_failed;
    }
    const run_settings& settings = parsed.settings;
    const double start = wall_clock_seconds();
    report_output output;
    diag_log log;
    if (const std::string refusal = open_destinations(settings, output, log); !refusal.empty()) {
        // Not one byte of a refused run reaches a destination, not even the header block.
        output.abandon();
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return k_exit_failed;
    }
    const written_files outputs(output.identity(), log.identity());
    log.line(settings.command_line);

    // JSON Lines output stays pure JSON: one object per line and nothing else. The HTML page shows
    // the same lines in its heading.
    if (has_identification_lines(settings.report.form)) output.write(header_block(args) + "\n");

    // Multi-file runs keep counts for the closing summary and, when standard error is a terminal
    // that the reports do not also go to, a status line. -quiet asks for neither.
    std::unique_ptr<run_progress> progress;
    if (settings.input != input_mode::single_file && !settings.quiet) {
        const bool reports_on_terminal = output.to_terminal();
        progress = std::make_unique<run_progress>(stderr, ::isatty(STDERR_FILENO) && !reports_on_terminal);
    }

    const std::unique_ptr<report_writer> writer = make_report_writer(settings.report);
    catch_interrupts();
    const bool processed = run_inputs(settings, *writer, output, progress.get(), log, outputs);

    // A report that did not reach its destination is not a success; say so once, on a line of its
    // own.
    const bool to_file = output.to_file();
    const bool written = output.close();
    if (progress) progress->hide();
    if (!written) {
        if (to_file)
            std::fprintf(stderr, "prob writing results file: %s\n", settings.results_path.c_str());
        else
            std::fputs("prob writing to standard output\n", stderr);
        // Reports that were made but never reached the destination are not reported.
        if (progress) progress->reports_lost(progress->reported() - output.reports_written());
    }
    const int signal_number = interrupting_signal();
    if (progress) {
        std::string summary = progress->summary();
        if (signal_number != 0) summary.insert(summary.size() - 1, ", interrupted");
        std::fputs(summary.c_str(), stderr);
    } else if (signal_number != 0) {
        std::fputs("runtrail: interrupted\n", stderr);
    }
    if (settings.profile || log.is_open()) {
        const std::string elapsed = elapsed_text(start);
        if (settings.profile) std::fprintf(stderr, "%s\n", elapsed.c_str());
        log.append(elapsed + "\n");  // the log's last line ends like every other
    }
    if (signal_number != 0) return k_exit_by_signal + signal_number;
    return processed && written ? k_exit_ok : k_exit_failed;
}

}  // namespace
}  // namespace runtrail

namespace {
constexpr int k_own_mapping_bytes = 0x40000;  // 256 KiB
constexpr int k_kept_free_heap_bytes = 0x100000;  // 1 MiB
}  // namespace

int main(int argc, char** argv) {
    // Blocks of a large file (an image, a record's name list, a report) are mapped on their own and
    // go back to the system when freed. Left to itself the allocator raises this threshold after
    // the first such block is freed, and every thread then keeps the memory of its largest file.
    mallopt(M_MMAP_THRESHOLD, k_own_mapping_bytes);
    // Smaller blocks come from each thread's heap. By default a heap hands back its free top as
    // soon as it passes 128 KiB, which a run over ordinary files does a few times a second per
    // thread; with several threads each hand-back interrupts the other processors (their address
    // translations are flushed) and costs more than the work it saves. A heap keeps up to 1 MiB free.
    mallopt(M_TRIM_THRESHOLD, k_kept_free_heap_bytes);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    try {
        return runtrail::run(args);
    } catch (const std::bad_alloc&) {
        std::fputs("runtrail: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "runtrail: %s\n", e.what());
    } catch (...) {
        std::fputs("runtrail: unexpected failure\n", stderr);
    }
    return 255;
}
