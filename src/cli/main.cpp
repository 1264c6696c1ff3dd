// runtrail: reports what Windows Prefetch files say about the programs they belong to.
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "diag_log.h"
#include "options.h"
#include "report_output.h"
#include "report_writer.h"
#include "run_inputs.h"
#include "run_progress.h"
#include "usage.h"

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
void print_header_block(const std::vector<std::string>& args, bool json_lines) {
    if (json_lines) return;
    const std::string text = header_block(args) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
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
        if (parsed.error_with_header_block) print_header_block(args, parsed.json_lines);
        return k_exit_failed;
    }
    const run_settings& settings = parsed.settings;
    const double start = wall_clock_seconds();

    diag_log log;
    if (log.open(settings.diag_path)) log.line(settings.command_line);

    report_output output;
    if (!settings.results_path.empty() && !output.open_file(settings.results_path, settings.append_results)) {
        std::fprintf(stderr, "prob opening file %s for output, aborting\n", settings.results_path.c_str());
        print_header_block(args, parsed.json_lines);
        return k_exit_failed;
    }
    // JSON Lines output stays pure JSON: one object per line and nothing else.
    if (!is_json_lines(settings.report.form)) output.write(header_block(args) + "\n");

    // Multi-file runs keep counts for the closing summary and, when standard error is a terminal
    // that the reports do not also go to, a status line. -quiet asks for neither.
    std::unique_ptr<run_progress> progress;
    if (settings.input != input_mode::single_file && !settings.quiet) {
        const bool reports_on_terminal = !output.to_file() && ::isatty(STDOUT_FILENO);
        progress = std::make_unique<run_progress>(stderr, ::isatty(STDERR_FILENO) && !reports_on_terminal);
    }

    const std::unique_ptr<report_writer> writer = make_report_writer(settings.report);
    const bool processed = run_inputs(settings, *writer, output, progress.get(), log);

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
    }
    if (progress) std::fputs(progress->summary().c_str(), stderr);
    if (settings.profile || log.is_open()) {
        const std::string elapsed = elapsed_text(start);
        if (settings.profile) std::fprintf(stderr, "%s\n", elapsed.c_str());
        log.append(elapsed);
    }
    return processed && written ? k_exit_ok : k_exit_failed;
}

}  // namespace
}  // namespace runtrail

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    try {
        return runtrail::run(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "runtrail: %s\n", e.what());
    } catch (...) {
        std::fputs("runtrail: unexpected failure\n", stderr);
    }
    return 255;
}
