#include "report_writer.h"

#include "body_report.h"
#include "csv_report.h"
#include "html_report.h"
#include "jsonl_report.h"
#include "l2t_report.h"
#include "text_report.h"
#include "timesketch_report.h"

namespace runtrail {
namespace {

template <typename Writer>
std::unique_ptr<report_writer> make(const report_settings& settings) {
    return std::make_unique<Writer>(settings);
}

struct form_writer {
    output_form form;
    std::unique_ptr<report_writer> (*make)(const report_settings&);
};

constexpr form_writer k_writers[] = {
    {output_form::text, make<text_report>},
    {output_form::csv, make<csv_report>},
    {output_form::log2timeline, make<l2t_report>},
    {output_form::body_file, make<body_report>},
    {output_form::json_lines, make<jsonl_report>},
    {output_form::timesketch, make<timesketch_report>},
    {output_form::html, make<html_report>},
};

}  // namespace

std::unique_ptr<report_writer> make_report_writer(const report_settings& settings) {
    for (const form_writer& entry : k_writers)
        if (entry.form == settings.form) return entry.make(settings);
    return make<text_report>(settings);
}

}  // namespace runtrail
