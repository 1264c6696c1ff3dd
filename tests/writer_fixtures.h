// The settings the option parser leaves for a given command line, and one parsed record with
// known content, for the column and text writer tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtrail_user_context.h"
#include "tool_options.h"
#include "writer_test_support.h"

namespace writer_fixtures {

using writer_test::lines_of;

constexpr uint64_t k_2014 = 130384964967891234ULL;        // 2014-03-05 12:34:56.7891234
constexpr uint64_t k_2014_whole = 130384964960000000ULL;  // 2014-03-05 12:34:56
constexpr uint64_t k_1970_plus_1 = 116444736010000000ULL; // 1970-01-01 00:00:01
constexpr uint64_t k_2000_leap = 125962992000000000ULL;   // 2000-02-29 12:00:00
constexpr uint64_t k_2038 = 137919572480000000ULL;        // 2038-01-19 03:14:08

struct options {
    bool csv = true;              // -csv (else the tool's default " | " table of -pipe -enumdir)
    bool pair_datetime = false;   // -pair_datetime
    bool no_whitespace = false;   // -no_whitespace
    bool verbose = false;         // -verbose
    bool quoted = false;          // -enable_quoted_csv_fields
    std::string csv_separator{};  // -csv_separator
    std::string user_name{}, host_name{};
    bool pf_path = false;
    bool text_report = false;     // -longform (the text report)
};

// The settings after the option step for the command line these options stand for.
inline void configure(runtrail_user_context& ctx, const options& o) {
    std::vector<std::string> args = {"runtrail", "x.pf"};
    auto add = [&args](bool on, std::vector<std::string> words) {
        if (on) args.insert(args.end(), words.begin(), words.end());
    };
    add(o.csv, {"-csv"});
    add(!o.csv && !o.text_report, {"-pipe", "-enumdir"});
    add(o.pair_datetime, {"-pair_datetime"});
    add(o.no_whitespace, {"-no_whitespace"});
    add(o.verbose, {"-verbose"});
    add(o.quoted, {"-enable_quoted_csv_fields"});
    add(!o.csv_separator.empty(), {"-csv_separator", o.csv_separator});
    add(!o.user_name.empty(), {"-username", o.user_name});
    add(!o.host_name.empty(), {"-hostname", o.host_name});
    add(o.pf_path, {"-pf_path"});
    add(o.text_report, {"-longform"});
    EXPECT_TRUE(parse_tool_options(ctx, args, "ver: test"));
}

// One parsed record with known content.
inline void fill_record(runtrail_user_context& ctx) {
    ctx.reset_record();
    ctx.file_path = "/cases/CMD.EXE-4A81B364.pf";
    ctx.file_name = "CMD.EXE-4A81B364.pf";
    ctx.exe_name = "CMD.EXE";
    ctx.run_count = 3;
    ctx.last_run_time = k_2014;
    ctx.prefetch_file_times[k_file_time_modified] = k_2014_whole;
    ctx.prefetch_file_times[k_file_time_accessed] = 0;
    ctx.prefetch_file_times[k_file_time_changed] = k_1970_plus_1;
    ctx.target_path = "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE";
    ctx.prev_run_times = {k_2038, k_2000_leap};
    ctx.modules[100] = "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL";
    ctx.modules[200] = "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE";
    ctx.volume_paths = {"\\DEVICE\\HARDDISKVOLUME1"};
    ctx.volume_serials = {0x1a2b3c4d};
    ctx.volume_times = {k_2014};
    ctx.volume_dirs = {{{1, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS"}}};
}

}  // namespace writer_fixtures
