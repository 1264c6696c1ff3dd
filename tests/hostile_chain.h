// The per-file chain on untrusted bytes, as the program runs it: open the container, parse the
// image, then write the record with every writer in several option settings and check the shape of
// each report, and that it stays within the size its writer reckons it can reach. Shared by the
// hostile-input tests and the fuzz harness.
#pragma once

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "container.h"
#include "options.h"
#include "prefetch_parser.h"
#include "report_shape.h"
#include "report_writer.h"

namespace runtrail::hostile_chain {

constexpr const char* k_form_options[] = {"-longform", "-csv", "-csvl2t", "-bodyfile", "-jsonl", "-timesketch", "-html"};
constexpr size_t k_forms = std::size(k_form_options);

// Every output form with each of a few option settings, as the option parser makes them: the forms
// of one setting stand together.
inline std::vector<report_settings> variants() {
    const std::vector<std::string> extras[] = {
        {},
        {"-verbose", "-hashcheck"},
        {"-verbose", "-no_whitespace", "-pair_datetime"},
        {"-verbose", "-enable_quoted_csv_fields", "-csv_separator", ";", "-pf_path", "-username", "examiner",
         "-hostname", "WS01"},
    };
    std::vector<report_settings> all;
    for (const auto& extra : extras) {
        for (const char* form : k_form_options) {
            std::vector<std::string> args{"runtrail", form};
            args.insert(args.end(), extra.begin(), extra.end());
            args.push_back("x.pf");
            all.push_back(parse_command_line(args).settings.report);
        }
    }
    return all;
}

struct outcome {
    bool parsed = false;
    std::string fault;  // the first shape fault found; empty when there is none
};

// The chain on `bytes`, written with `count` of the settings from `first` on. Exceptions are not
// caught here, so a test or fuzzer sees any that a file can raise.
inline outcome run(byte_span bytes, const std::vector<report_settings>& settings, size_t first = 0,
                   size_t count = SIZE_MAX) {
    static xpress_huffman_decoder decoder;
    std::vector<uint8_t> unwrapped;
    const container_header container = detect_container(bytes);
    if (container.kind != container_kind::none) {
        if (!unwrap_container(bytes, container, decoder, unwrapped)) return {};
        bytes = byte_span(unwrapped.data(), unwrapped.size());
    }
    prefetch_record record;
    if (!parse_prefetch_image(bytes, record)) return {};
    outcome result{true, {}};
    // File-system times as a stat would give them: two real times and one at the Unix epoch.
    const file_facts facts{"C:\\cases\\x.pf", "x.pf", bytes.size(), 130384964960000000ULL, 131000000000000000ULL,
                           116444736000000000ULL};
    for (size_t i = first; i < settings.size() && i - first < count && result.fault.empty(); ++i) {
        std::string out;
        const std::unique_ptr<report_writer> writer = make_report_writer(settings[i]);
        writer->write(facts, record, out);
        writer->put_in_order(out);
        result.fault = report_shape::check(out, settings[i]);
        // A parallel run takes the report's bound of its memory budget before rendering it.
        std::string alone;
        writer->render(facts, record, alone);
        if (result.fault.empty() && alone.size() > writer->report_bytes_bound(facts, record))
            result.fault = "a report of " + std::to_string(alone.size()) + " bytes, past its bound of " +
                           std::to_string(writer->report_bytes_bound(facts, record));
    }
    return result;
}

}  // namespace runtrail::hostile_chain
