// -html: one self-contained page (no network access of any kind) with a heading, an execution
// timeline, a table with one row per prefetch file and, with scripts on, sorting, filtering,
// zooming and each file's details. The page is written as files are reported, never held whole:
//   start:   the head (style, Content-Security-Policy that admits only the page's own inline style
//            and script by their hashes), the heading, the table's header (a table of its own);
//   a file:  its table row (plain HTML, its run times in an attribute; the rows stand in tables of
//            a few hundred each, which a browser lays out only when they come into view), then a
//            <script type="application/json"> data block (never run, read only when the file's
//            details are opened) with its path, modules (with their NTFS file references), volumes
//            and directories. Module and directory names are shared across files: each new name
//            goes out once, in a block of its own before the first file that uses it, and files
//            refer to names by number;
//   finish:  the counts and the span of run times, the static timeline picture, the script.
// Files are rendered on any thread into a pending form; numbering the shared names happens in
// put_in_order, in input order, so the page is the same byte for byte whatever the thread count.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "html_timeline.h"
#include "report_writer.h"

namespace runtrail {

class html_report final : public report_writer {
public:
    using report_writer::report_writer;
    void render(const file_facts& file, const prefetch_record& record, std::string& out) const override;
    void put_in_order(std::string& report) override;
    void finish(const run_totals& totals, std::string& out) override;

protected:
    void start(const file_facts& first, std::string& out) override;

private:
    void write_page_start(std::string& out);
    // The number of a shared name (a JSON string), put in `new_names` the first time it is met.
    uint32_t name_number(const std::string& json_name, std::string& new_names);

    // Decided by the first file: an image run shows whether each file was deleted, and when created.
    bool image_columns_ = false;
    bool page_started_ = false;
    std::string columns_;  // the table's <colgroup>, repeated in every part

    // Run state, kept in input order.
    uint64_t files_ = 0;
    std::unordered_map<std::string, uint32_t> name_numbers_;
    size_t remembered_bytes_ = 0;  // held by name_numbers_; past a budget new names are not remembered
    uint32_t names_out_ = 0;
    int64_t earliest_ = INT64_MAX, latest_ = INT64_MIN;
    static_timeline timeline_;
};

}  // namespace runtrail
