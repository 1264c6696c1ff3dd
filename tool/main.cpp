// runtrail: reports what Windows Prefetch files say about the programs they belong to.
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cmd_params.h"
#include "cmdline_ctx.h"
#include "fileio.h"
#include "output_stream.h"
#include "process_inputs.h"
#include "qn_string.h"
#include "qn_time.h"
#include "run_progress.h"
#include "runtrail_user_context.h"
#include "tool_options.h"

namespace {

constexpr int k_exit_ok = 0;
constexpr int k_exit_failed = 255;

uint64_t current_filetime() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    return qn::unix_to_filetime(tv.tv_sec, static_cast<uint32_t>(tv.tv_usec) * 1000U);
}

// Opens the results file: extended under -append (created when missing), else truncated.
bool open_results_file(uni::fileio& file, const runtrail_user_context& ctx) {
    if (ctx.append_results && file.open(ctx.results_path, true, false, false)) return true;
    return file.open(ctx.results_path, true, false, true);
}

int run(int argc, char** argv, cmdline_ctx& run_ctx) {
    std::vector<std::string> args = make_argument_list(argc, argv);
    runtrail_user_context ctx(current_filetime());
    if (args.empty()) return k_exit_failed;

    if (help_requested(args)) {
        std::cerr << usage_text(args[0]);
        return k_exit_ok;
    }

    const std::string header = header_block(args);
    if (!parse_tool_options(ctx, args, std::string("ver: ") + k_runtrail_version)) {
        if (!ctx.out_jsonl) std::cout << header << '\n';
        std::cout.flush();
        return k_exit_failed;
    }
    run_ctx.setup(ctx, [](const std::string&) -> uint32_t { return 0; });

    uni::fileio results;
    std::ostream* out = &std::cout;
    if (!ctx.results_path.empty()) {
        out = open_results_file(results, ctx) ? uni::attach_output_stream(results) : nullptr;
        if (!out) {
            std::fprintf(stderr, "prob opening results file: %s for writing\n", ctx.results_path.c_str());
            return k_exit_failed;
        }
    }

    // JSON Lines output stays pure JSON: one object per line and nothing else.
    if (!ctx.out_jsonl) *out << header << '\n';

    // Multi-file runs keep counts for the closing summary and, when standard error is a terminal
    // that the reports do not also go to, a status line. -quiet asks for neither.
    std::unique_ptr<run_progress> progress;
    bool processed;
    if (ctx.pipe_input || ctx.enum_dir_given) {
        if (ctx.show_progress) {
            const bool reports_on_terminal = ctx.results_path.empty() && ::isatty(STDOUT_FILENO);
            progress = std::make_unique<run_progress>(stderr, ::isatty(STDERR_FILENO) && !reports_on_terminal);
            ctx.progress = progress.get();
        }
        processed = process_inputs(ctx, *out);
        if (progress) run_ctx.closing_note = progress->summary();
    } else if (args.size() == 2) {
        ctx.file_path = qn::expand_env_vars(args[1], true);
        processed = process_inputs(ctx, *out);
    } else {
        std::cerr << usage_text(ctx.program_name);
        processed = true;
    }

    // A report that did not reach its destination is not a success; say so once (on a line of
    // its own: the status line is erased first; otherwise the end-of-run erase clears it).
    bool written;
    if (results.is_open()) {
        written = results.close();
        if (!written) {
            if (progress) progress->hide();
            std::fprintf(stderr, "prob writing results file: %s\n", ctx.results_path.c_str());
        }
    } else {
        written = static_cast<bool>(std::cout.flush()) && std::fflush(stdout) == 0;
        if (!written) {
            if (progress) progress->hide();
            std::fputs("prob writing to standard output\n", stderr);
        }
    }
    return processed && written ? k_exit_ok : k_exit_failed;
}

}  // namespace

int main(int argc, char** argv) {
    // Reports go only through std::cout, never through C stdio, so the stream need not be kept in
    // step with stdout: it then buffers whole blocks instead of handing each insertion to stdio.
    // Messages on standard error stay unbuffered; the report is flushed before exit.
    std::ios::sync_with_stdio(false);
    // The run context outlives the run: its destructor erases the progress line and reports
    // the elapsed time.
    cmdline_ctx run_ctx;
    try {
        return run(argc, argv, run_ctx);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "runtrail: %s\n", e.what());
    } catch (...) {
        std::fputs("runtrail: unexpected failure\n", stderr);
    }
    return k_exit_failed;
}
