// The report writers. One writer is made per run for the output form the settings name; it gets
// each reported file's facts and record and appends that file's report to a text. What belongs to
// the run (whether the column header is written, the columns the first file declared) lives in
// the writer; the settings and records are never changed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "file_facts.h"
#include "prefetch_record.h"
#include "report_settings.h"
#include "report_size_bound.h"

namespace runtrail {

// What a run did with its names, for a form that states it at the end.
struct run_totals {
    uint64_t reported = 0;
    uint64_t skipped = 0;
};

class report_writer {
public:
    explicit report_writer(const report_settings& settings) : settings_(settings) {}
    virtual ~report_writer() = default;
    report_writer(const report_writer&) = delete;
    report_writer& operator=(const report_writer&) = delete;

    // Appends one file's report to `out`; before the run's first report, the form's column header.
    void write(const file_facts& file, const prefetch_record& record, std::string& out) {
        if (!started()) {
            start(file, out);
            started_.store(true, std::memory_order_release);
        }
        render(file, record, out);
    }
    // True once the first report has been written: render() then needs no more run state, and
    // what start() decided is visible to any thread that saw this true.
    bool started() const { return started_.load(std::memory_order_acquire); }

    // The most bytes render() appends for this file: what a parallel run takes of its memory budget
    // for the report before rendering it.
    uint64_t report_bytes_bound(const file_facts& file, const prefetch_record& record) const {
        return report_size_bound(settings_, file, record, repeats(record));
    }

    // One file's report alone. Reads nothing but its arguments, the settings and the layout fixed
    // by the first report, so once started() it may run for several files at once.
    virtual void render(const file_facts& file, const prefetch_record& record, std::string& out) const = 0;

    // Each rendered report, on one thread and in input order, just before it is put out: a form
    // whose reports refer to what earlier ones put out completes the report here. Most forms have
    // nothing to do.
    virtual void put_in_order(std::string& report) { (void)report; }
    // After the last file: the form's closing part, if it has one.
    virtual void finish(const run_totals& totals, std::string& out) {
        (void)totals;
        (void)out;
    }

protected:
    // How often this form's report writes each part of the record and the file: by default each
    // once, and a line for each run time.
    virtual report_repeats repeats(const prefetch_record& record) const {
        return {1, 1, 1, 1 + record.earlier_runs.size()};
    }
    // Before the first report: the column header, and whatever the first file decides for the run.
    virtual void start(const file_facts& first, std::string& out) {
        (void)first;
        (void)out;
    }

    const report_settings settings_;

private:
    std::atomic<bool> started_{false};
};

// The writer of the form the settings name.
std::unique_ptr<report_writer> make_report_writer(const report_settings& settings);

}  // namespace runtrail
