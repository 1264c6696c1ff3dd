// The per-file chain on untrusted bytes, as the tool runs it: unwrap the container, parse the
// image, then hand the result to every writer in several option settings and check the shape of
// what each one wrote. Shared by the hostile-input tests and the fuzz harness.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "container.h"
#include "prefetch_parser.h"
#include "report_shape.h"
#include "report_writers.h"
#include "runtrail_user_context.h"
#include "tool_options.h"

namespace hostile_chain {

enum class form { text, csv, l2t, body, jsonl };

struct variant {
    form output;
    size_t setting;  // index of the option setting
    std::unique_ptr<runtrail_user_context> ctx;
};

constexpr size_t k_settings = 4;
constexpr size_t k_all_settings = k_settings;

// Every output form with each of a few option settings, each set up by the tool's own option
// step from a command line.
inline std::vector<variant> make_variants() {
    const std::pair<form, const char*> forms[] = {
        {form::text, nullptr}, {form::csv, "-csv"}, {form::l2t, "-csvl2t"}, {form::body, "-bodyfile"},
        {form::jsonl, "-jsonl"},
    };
    const std::vector<std::string> extras[] = {
        {},
        {"-verbose"},
        {"-verbose", "-no_whitespace", "-pair_datetime"},
        {"-verbose", "-enable_quoted_csv_fields", "-csv_separator", ";", "-pf_path", "-username", "examiner",
         "-hostname", "WS01"},
    };
    static_assert(std::size(extras) == k_settings);
    std::vector<variant> variants;
    for (const auto& [output, option] : forms) {
        for (size_t setting = 0; setting < k_settings; ++setting) {
            const std::vector<std::string>& extra = extras[setting];
            std::vector<std::string> args{"runtrail"};
            if (option) args.push_back(option);
            args.insert(args.end(), extra.begin(), extra.end());
            args.push_back("x.pf");
            auto ctx = std::make_unique<runtrail_user_context>(0);
            if (!parse_tool_options(*ctx, args, "ver: test")) continue;
            variants.push_back({output, setting, std::move(ctx)});
        }
    }
    return variants;
}

// Moves the parse results between two contexts (and back again), so that each variant writes
// the same record without a copy of it: a copy per variant would multiply the memory of a large
// record and hide what one file really costs.
inline void swap_record(runtrail_user_context& a, runtrail_user_context& b) {
    std::swap(a.format_version, b.format_version);
    std::swap(a.run_count, b.run_count);
    a.exe_name.swap(b.exe_name);
    a.target_path.swap(b.target_path);
    std::swap(a.prefetch_file_size, b.prefetch_file_size);
    std::swap(a.prefetch_file_times, b.prefetch_file_times);
    std::swap(a.last_run_time, b.last_run_time);
    a.prev_run_times.swap(b.prev_run_times);
    a.modules.swap(b.modules);
    a.volume_paths.swap(b.volume_paths);
    a.volume_times.swap(b.volume_times);
    a.volume_serials.swap(b.volume_serials);
    a.volume_dirs.swap(b.volume_dirs);
    a.source_label.swap(b.source_label);
}

// One writer into a fresh stream, with the header due as for the first file of a run; returns
// what is wrong with the output's shape (empty when nothing is).
inline std::string write_and_check(variant& v) {
    runtrail_user_context& ctx = *v.ctx;
    ctx.header_pending = true;
    std::ostringstream out;
    switch (v.output) {
        case form::text:
            write_text_report(out, ctx);
            return report_shape::check_text(out.str());
        case form::csv:
            write_csv_report(out, ctx);
            return report_shape::check_csv(out.str(), ctx);
        case form::l2t:
            write_l2t_report(out, ctx);
            return report_shape::check_l2t(out.str(), ctx);
        case form::body:
            write_body_report(out, ctx);
            return report_shape::check_body(out.str());
        case form::jsonl:
            write_jsonl_report(out, ctx);
            return report_shape::check_jsonl(out.str());
    }
    return {};
}

struct outcome {
    bool parsed = false;
    std::string fault;  // the first shape fault found, empty when there is none
};

// The chain on `bytes`, written with the variants of option setting `setting` (k_all_settings:
// every variant). `parsed` receives the parse results; exceptions are not caught here, so a test
// or fuzzer sees any that a file can raise.
inline outcome run(const uint8_t* bytes, size_t size, runtrail_user_context& parsed, std::vector<variant>& variants,
                   size_t setting = k_all_settings) {
    outcome result;
    parsed.reset_record();
    std::vector<uint8_t> buffer(bytes, bytes + size);
    if (!unwrap_container(buffer) || buffer.empty()) return result;
    if (!parse_prefetch(buffer.data(), buffer.size(), parsed)) return result;
    result.parsed = true;
    // File-system times as a stat would give them: two real times and one at the Unix epoch.
    parsed.prefetch_file_size = size;
    parsed.prefetch_file_times[k_file_time_modified] = 130384964960000000ULL;
    parsed.prefetch_file_times[k_file_time_accessed] = 131000000000000000ULL;
    parsed.prefetch_file_times[k_file_time_changed] = 116444736000000000ULL;
    for (variant& v : variants) {
        if (setting != k_all_settings && v.setting != setting) continue;
        swap_record(parsed, *v.ctx);
        v.ctx->file_path = "C:\\cases\\x.pf";
        v.ctx->file_name = "x.pf";
        std::string fault = write_and_check(v);
        swap_record(parsed, *v.ctx);
        if (!fault.empty() && result.fault.empty()) result.fault = std::move(fault);
    }
    return result;
}

}  // namespace hostile_chain
