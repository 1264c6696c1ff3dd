#include "run_inputs.h"

#include <cstdio>
#include <memory>

#include "directory_walk.h"
#include "field_text.h"
#include "prefetch_file.h"
#include "stdin_names.h"

namespace runtrail {
namespace {

// Written before the first report and after each report of a text run over several files.
constexpr const char* k_separator_line = " =================================================== \n\n";

class file_handler {
public:
    file_handler(const run_settings& settings, report_writer& writer, report_output& output, run_progress* progress,
                 diag_log& log, const written_files& written)
        : settings_(settings), writer_(writer), output_(output), progress_(progress), log_(log), written_(written) {}

    // Reads, parses and reports one file; true when its report was written.
    bool handle(const std::string& path) {
        // Never read what this run writes: its report would be of runtrail's own output.
        if (const written_role role = written_.role_of(path); role != written_role::none) {
            tell("prob reading file " + path + ": it is " + role_text(role));
            return false;
        }
        load_result loaded;
        try {
            loaded = load_prefetch_file(path, buffers_, facts_, record_);
            if (loaded == load_result::loaded) {
                report_.clear();
                writer_.write(facts_, record_, report_);
                output_.write_report(report_);
                return true;
            }
        } catch (const std::exception&) {
            // A file that exhausts memory (or fails otherwise) costs that file alone.
            log_.line("output_prefetch_entry: exception caught");
            return false;
        }
        tell((loaded == load_result::unreadable ? "prob reading file " : "prob parsing file ") + path);
        return false;
    }

    // A message about a name or the names, on a line of its own (the status line, when one is
    // showing, is erased first); -quiet silences it, unless the run cannot go on.
    void tell(std::string message, bool even_when_quiet = false) {
        if (settings_.quiet && !even_when_quiet) return;
        if (progress_) progress_->hide();
        // The name may come from the file system or a crafted list: it must not drive the terminal.
        make_printable(message);
        std::fprintf(stderr, "%s\n", message.c_str());
    }

private:
    const run_settings& settings_;
    report_writer& writer_;
    report_output& output_;
    run_progress* progress_;
    diag_log& log_;
    const written_files& written_;
    prefetch_file_buffers buffers_;
    file_facts facts_;
    prefetch_record record_;
    std::string report_;
};

bool name_passes(const std::string& name, const run_settings& settings) {
    if (!filter_match(name, settings.include_filters)) return false;
    return settings.skip_filters.empty() || !filter_match(name, settings.skip_filters);
}

std::unique_ptr<name_source> open_names(const run_settings& settings) {
    if (settings.input == input_mode::standard_input) return std::make_unique<stdin_names>();
    if (settings.walk_root.empty()) return nullptr;
    return std::make_unique<directory_walk>(settings.walk_root, settings.walk_depth);
}

}  // namespace

bool run_inputs(const run_settings& settings, report_writer& writer, report_output& output, run_progress* progress,
                diag_log& log, const written_files& written) {
    file_handler files(settings, writer, output, progress, log, written);
    if (settings.input == input_mode::single_file) return files.handle(settings.file_path);

    const std::unique_ptr<name_source> names = open_names(settings);
    if (!names) return false;
    if (progress) progress->watch_directory(names->current_directory());

    const bool separators = settings.report.form == output_form::text;
    if (separators) output.write(k_separator_line);

    bool result = false;
    std::string name;
    // Names from standard input or the walk are data: they are opened as they are, never expanded.
    // The first failed write ends the run: nothing more could be reported.
    while (!output.failed()) {
        if (!names->next(name)) {
            // A source that could not be read at all (a walk root that cannot be listed) fails
            // the run, -quiet or not.
            if (!names->problem().empty()) {
                files.tell(names->problem(), true);
                result = false;
            }
            break;
        }
        if (name.empty()) {
            if (names->problem().empty()) continue;  // a blank line
            files.tell(names->problem());
            result = false;
            if (progress) progress->file_done(false);
            continue;
        }
        if (!name_passes(name, settings)) continue;
        log.line(name);
        result = files.handle(name);
        if (progress) progress->file_done(result);
        if (separators && result) output.write(k_separator_line);
    }
    if (progress) progress->watch_directory(nullptr);  // the name source ends here
    return result;
}

}  // namespace runtrail
