#include "run_inputs.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <new>

#include "directory_walk.h"
#ifdef RUNTRAIL_WITH_IMAGES
#include "image_walk.h"
#endif
#include "field_text.h"
#include "file_task.h"
#include "parallel_run.h"
#include "run_interrupt.h"
#include "stdin_names.h"

namespace runtrail {
namespace {

// Written before the first report and after each report of a text run over several files.
constexpr const char* k_separator_line = " =================================================== \n\n";

// Puts tasks out in input order: the report to the output, or the message on standard error; the
// name to the -diags log, the count to the status line. It keeps what the run's exit status says:
// whether the last name put out was reported.
class task_emitter {
public:
    task_emitter(const run_settings& settings, report_writer& writer, report_output& output, run_progress* progress,
                 diag_log& log)
        : settings_(settings), writer_(writer), output_(output), progress_(progress), log_(log),
          multi_file_(settings.input != input_mode::single_file),
          separators_(multi_file_ && settings.report.form == output_form::text) {
        if (separators_) output_.write(k_separator_line);
    }

    // False once the output has failed: nothing more can be reported.
    bool emit(file_task& task) {
        if (task.names_failed) {
            // The names could not be read at all (a walk root that cannot be listed): said even
            // under -quiet, and the run fails.
            tell(task.problem, true);
            last_reported_ = false;
            return !output_.failed();
        }
        if (!task.notice.empty()) {
            tell(task.notice);  // not a file: neither counted nor part of the exit status
            return !output_.failed();
        }
        bool reported = false;
        if (!task.problem.empty()) {
            tell(task.problem);
        } else if (task.name.empty()) {
            return !output_.failed();  // nothing was handled
        } else {
            if (multi_file_) log_.line(task.name);
            reported = put_out_file(task);
        }
        last_reported_ = reported;
        ++(reported ? totals_.reported : totals_.skipped);
        if (progress_) progress_->file_done(reported);
        if (separators_ && reported) output_.write(k_separator_line);
        return !output_.failed();
    }

    bool last_reported() const { return last_reported_; }

    // After the last task: the form's closing part, unless the output has already failed.
    void finish() {
        if (output_.failed()) return;
        std::string closing;
        writer_.finish(totals_, closing);
        if (!closing.empty()) output_.write(closing);
    }

private:
    bool put_out_file(file_task& task) {
        if (task.role != written_role::none) {
            tell("prob reading file " + task.name + ": it is " + role_text(task.role));
            return false;
        }
        if (task.out_of_memory) return out_of_memory(task);
        if (task.failed_by_exception) {
            tell("prob parsing file " + task.name);
            return false;
        }
        if (task.loaded != load_result::loaded) {
            std::string message =
                (task.loaded == load_result::unreadable ? "prob reading file " : "prob parsing file ") + task.name;
            // A deleted file whose clusters were taken by another file no longer reads as itself.
            if (task.is_held && task.held.facts.deleted)
                message += " (deleted, MFT entry " + std::to_string(task.held.facts.mft_entry) +
                           (task.held.entry_reused ? " now holds another file)" : ")");
            tell(message);
            return false;
        }
        try {
            if (!task.rendered) writer_.write(task.facts, task.record, task.report);  // the run's first report
            writer_.put_in_order(task.report);
            output_.write_report(task.report);
        } catch (const std::bad_alloc&) {
            return out_of_memory(task);  // nothing of the report was put out
        }
        return true;
    }

    bool out_of_memory(file_task& task) {
        task.record = prefetch_record{};
        std::string().swap(task.report);
        tell("prob reading file " + task.name + ": out of memory");
        return false;
    }

    // A message on a line of its own (the status line, when one is showing, is erased first);
    // -quiet silences it, unless the run cannot go on.
    void tell(std::string message, bool even_when_quiet = false) {
        if (settings_.quiet && !even_when_quiet) return;
        if (progress_) progress_->hide();
        // The name may come from the file system or a crafted list: it must not drive the terminal.
        make_printable(message);
        std::fprintf(stderr, "%s\n", message.c_str());
    }

    const run_settings& settings_;
    report_writer& writer_;
    report_output& output_;
    run_progress* progress_;
    diag_log& log_;
    const bool multi_file_;
    const bool separators_;
    bool last_reported_ = false;
    run_totals totals_;
};

bool name_passes(const std::string& name, const std::vector<filter_entry>& include,
                 const std::vector<filter_entry>& skip) {
    if (!filter_match(name, include)) return false;
    return skip.empty() || !filter_match(name, skip);
}

// The names of a multi-file run as tasks: blank lines and names the filters leave out are passed
// over. Names from standard input or the walk are data: used as they are, never expanded.
class task_source {
public:
    task_source(std::unique_ptr<name_source> names, const run_settings& settings)
        : names_(std::move(names)), include_(settings.include_filters), skip_(settings.skip_filters) {}

    // The next task; false at the end. A source that could not be read at all ends with one task
    // that says so.
    bool next(file_task& task) {
        if (ended_) return false;
        std::string problem;
        try {
            while (names_->next(task.name)) {
                note_directory();
                if (task.name.empty() && !names_->notice().empty()) {
                    task.notice = names_->notice();
                    return true;
                }
                if (task.name.empty() && names_->problem().empty()) continue;  // a blank line
                if (!task.name.empty() && !name_passes(task.name, include_, skip_)) continue;
                task.problem = names_->problem();
                if (const held_file* held = names_->held(); held && !task.name.empty()) {
                    task.is_held = true;
                    task.held = *held;
                }
                return true;
            }
            problem = names_->problem();
        } catch (const std::bad_alloc&) {
            problem = "prob reading names: out of memory";
        }
        ended_ = true;
        if (problem.empty()) return false;
        task.name.clear();
        task.problem = std::move(problem);
        task.names_failed = true;
        return true;
    }

    // The directory a walk is listing, for the status line: a copy, as the names may be taken on
    // another thread than the one that draws the line.
    const name_source& names() const { return *names_; }

    std::string directory() const {
        std::lock_guard<std::mutex> hold(directory_lock_);
        return directory_;
    }

private:
    void note_directory() {
        const std::string* current = names_->current_directory();
        if (!current || *current == directory_) return;
        std::lock_guard<std::mutex> hold(directory_lock_);
        directory_ = *current;
    }

    std::unique_ptr<name_source> names_;
    const std::vector<filter_entry> include_;
    const std::vector<filter_entry> skip_;
    bool ended_ = false;
    mutable std::mutex directory_lock_;
    std::string directory_;
};

std::unique_ptr<name_source> open_names(const run_settings& settings) {
    if (settings.input == input_mode::standard_input) return std::make_unique<stdin_names>();
#ifdef RUNTRAIL_WITH_IMAGES
    if (settings.input == input_mode::disk_image) {
        std::string problem;
        std::unique_ptr<disk_image> image = disk_image::open_file(settings.image_path, problem);
        const bool prefetch_folder = settings.walk_root.empty();
        return std::make_unique<image_walk>(std::move(image), settings.image_path, problem,
                                            prefetch_folder ? image_walk::k_prefetch_folder : settings.walk_root,
                                            prefetch_folder ? 0 : settings.walk_depth, prefetch_folder);
    }
#endif
    if (settings.walk_root.empty()) return nullptr;
    return std::make_unique<directory_walk>(settings.walk_root, settings.walk_depth);
}

}  // namespace

bool run_inputs(const run_settings& settings, report_writer& writer, report_output& output, run_progress* progress,
                diag_log& log, const written_files& written) {
    task_emitter emitter(settings, writer, output, progress, log);
    if (settings.input == input_mode::single_file) {
        file_task task;
        task.name = settings.file_path;
        file_worker(written, writer, nullptr).work(task);
        if (!interrupting_signal()) emitter.emit(task);
        emitter.finish();
        return emitter.last_reported();
    }

    std::unique_ptr<name_source> names = open_names(settings);
    if (!names) return false;
    const auto tasks = std::make_shared<task_source>(std::move(names), settings);
    std::string shown_directory;
    if (progress) progress->watch_directory(&shown_directory);
    // Memory so short that not even a message can be made ends the run, never by an abort.
    bool out_of_memory = false;
    auto put_out = [&](file_task& task) {
        try {
            shown_directory = tasks->directory();
            return emitter.emit(task);
        } catch (const std::bad_alloc&) {
            std::fputs("runtrail: out of memory\n", stderr);
            out_of_memory = true;
            return false;
        }
    };

    // -threads 1 reads one file after the other on this thread. Every other run, the default on a
    // single processor included, takes the names on a thread of their own, so that names arriving
    // slowly on standard input are reported as they come.
    if (settings.threads == 1) {
        file_worker worker(written, writer, &tasks->names());
        for (file_task task; !interrupting_signal() && tasks->next(task); task.clear()) {
            worker.work(task);
            if (interrupting_signal()) break;  // no report begun after the signal
            if (!put_out(task)) break;  // the first failed write ends the run
        }
    } else {
        parallel_run run;
        run.workers = settings.threads != 0 ? settings.threads : default_worker_count();
        run.next_task = [tasks](file_task& task) { return tasks->next(task); };
        run.names_may_wait = settings.input == input_mode::standard_input;
        run.make_worker = [&](memory_budget& budget, spare_report_texts& spare_reports, bool may_wait) {
            return file_worker(written, writer, &tasks->names(), &budget, &spare_reports, may_wait);
        };
        run.emit = put_out;
        run.idle = [&output] { output.flush(); };
        run.interrupted = [] { return interrupting_signal() != 0; };
        run_in_parallel(run);
    }
    if (progress) progress->watch_directory(nullptr);  // the names end here
    emitter.finish();
    return emitter.last_reported() && !out_of_memory;
}

}  // namespace runtrail
