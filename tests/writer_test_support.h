// Hand-built run contexts and small helpers shared by the writer tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "prefetch_parser.h"

#include "qn_variant_lite.h"
#include "runtrail_user_context.h"
#include "time_format.h"

namespace writer_test {

constexpr uint64_t k_run = 130384964967891234ULL;            // 2014-03-05 12:34:56.7891234 UTC, 1394022896 s
constexpr uint64_t k_modified = k_run + 51'000'000ULL;      // 2014-03-05 12:35:01.8891234, 1394022901 s
constexpr uint64_t k_accessed = k_run + 600'000'000ULL;     // 2014-03-05 12:35:56.7891234, 1394022956 s
constexpr uint64_t k_changed = k_run - 864'000'000'000ULL;  // 2014-03-04 12:34:56.7891234, 1393936496 s

// A parsed Windows 10 file as the parser would leave it, run once.
inline void fill_record(runtrail_user_context& ctx) {
    ctx.reset_record();
    ctx.file_path = "/evidence/Prefetch/CALC.EXE-77FDF17F.pf";
    ctx.file_name = "CALC.EXE-77FDF17F.pf";
    ctx.program_name = "runtrail";
    ctx.source_label = "Win10 Prefetch";
    ctx.format_version = 30;
    ctx.exe_name = "CALC.EXE";
    ctx.target_path = "\\VOLUME{01d0}\\WINDOWS\\SYSTEM32\\CALC.EXE";
    ctx.run_count = 1;
    ctx.prefetch_file_size = 4242;
    ctx.prefetch_file_times[k_file_time_modified] = k_modified;
    ctx.prefetch_file_times[k_file_time_accessed] = k_accessed;
    ctx.prefetch_file_times[k_file_time_changed] = k_changed;
    ctx.last_run_time = k_run;
    ctx.modules = {{0x1000, "\\VOLUME{01d0}\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
                   {0x1060, "\\VOLUME{01d0}\\WINDOWS\\SYSTEM32\\CALC.EXE"}};
    ctx.volume_paths = {"\\VOLUME{01d0}"};
    ctx.volume_times = {k_changed};
    ctx.volume_serials = {0x1A2B3C4D};
    ctx.volume_dirs = {{{1, "\\VOLUME{01d0}\\WINDOWS"}, {2, "\\VOLUME{01d0}\\WINDOWS\\SYSTEM32"}}};
}

inline void compile_formats(runtrail_user_context& ctx) {
    qn::compile_time_format(ctx.date_format, ctx.time_format, ctx.pair_datetime, ctx.time_formatter);
}

// Settings as the option parser leaves them after -csvl2t.
inline void set_l2t_options(runtrail_user_context& ctx) {
    ctx.out_csv = false;
    ctx.out_csvl2t = true;
    ctx.out_bodyfile = false;
    ctx.separator = ",";
    ctx.field_sep_char = ',';
    ctx.field_sep_replacement = ' ';
    ctx.header_pending = true;
    ctx.compact_fields = false;
    ctx.pad_separator = true;
    ctx.show_prev_times = true;
    ctx.show_target_path = true;
    compile_formats(ctx);
}

// Settings as the option parser leaves them after -bodyfile.
inline void set_body_options(runtrail_user_context& ctx) {
    ctx.out_csv = false;
    ctx.out_csvl2t = false;
    ctx.out_bodyfile = true;
    ctx.separator = "|";
    ctx.field_sep_char = '|';
    ctx.field_sep_replacement = ';';
    ctx.header_pending = true;
    ctx.show_prev_times = true;
    ctx.show_target_path = true;
    compile_formats(ctx);
}

inline std::vector<std::string> split(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(delimiter, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

// Output lines without their line ends; a trailing empty piece (after the last "\n") is dropped.
inline std::vector<std::string> lines_of(const std::string& text) {
    auto lines = split(text, '\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// Whether the shared date formatter has landed in this build (it renders a known instant).
inline bool date_formatter_ready() {
    std::string date, time_text;
    qn::format_date_time_spec(date, time_text, qn::time(static_cast<int64_t>(k_run), qn::type_filetime), {});
    return date == "2014-03-05" && time_text == "12:34:56.789";
}

// Whether the shared line-break marker has landed in this build.
inline bool line_break_marker_ready() {
    std::string text = "a\r\nb";
    mark_line_breaks(text);
    return text == "a[CRLF]b";
}

// Every file below tests/data, in name order.
inline std::vector<std::filesystem::path> data_files() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(RUNTRAIL_TEST_DATA))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether the prefetch parser has landed in this build (it accepts a plain version 17 file).
inline bool parser_ready() {
    const auto bytes = read_bytes(std::filesystem::path(RUNTRAIL_TEST_DATA) / "XPPro/CALC.EXE-02CD573A.pf");
    return validate_header(bytes.data(), bytes.size());
}

// Parses a file of tests/data (path relative to it) into ctx as the per-file chain would, with
// fixed file-system times so that expected lines do not depend on the checkout.
inline bool load_data_file(runtrail_user_context& ctx, const std::string& relative) {
    const auto bytes = read_bytes(std::filesystem::path(RUNTRAIL_TEST_DATA) / relative);
    ctx.reset_record();
    ctx.file_path = relative;
    const auto slash = relative.rfind('/');
    ctx.file_name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    if (bytes.empty() || !parse_prefetch(bytes.data(), bytes.size(), ctx)) return false;
    ctx.prefetch_file_size = bytes.size();
    ctx.prefetch_file_times[k_file_time_modified] = k_modified;
    ctx.prefetch_file_times[k_file_time_accessed] = k_accessed;
    ctx.prefetch_file_times[k_file_time_changed] = k_changed;
    return true;
}

#define REQUIRE_DATE_FORMATTER()                                                                     \
    if (!writer_test::date_formatter_ready()) GTEST_SKIP() << "the shared date formatter has not "  \
                                                              "landed yet; expected lines need its " \
                                                              "date and time texts"

#define REQUIRE_PARSER()                                                                             \
    if (!writer_test::parser_ready()) GTEST_SKIP() << "the prefetch parser has not landed in this " \
                                                      "build yet; real-file tests need it"

}  // namespace writer_test
