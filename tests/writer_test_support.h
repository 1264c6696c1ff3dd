// Hand-built run contexts, real-file loading and small helpers shared by the writer tests.
#pragma once

#include <algorithm>
#include <array>
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
using file_times = std::array<uint64_t, 3>;                 // modified, accessed, changed
constexpr file_times k_timeline_times = {k_modified, k_accessed, k_changed};
// The stand-ins the golden text reports and the real CSV row were written with.
constexpr file_times k_golden_times = {132354720001234567ULL,   // 2020-06-01 08:00:00.1234567
                                       132355638150000000ULL,   // 2020-06-02 09:30:15
                                       132356547300000000ULL};  // 2020-06-03 10:45:30

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
    std::copy(k_timeline_times.begin(), k_timeline_times.end(), ctx.prefetch_file_times);
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

// Settings as the option parser leaves them after -csvl2t (l2t) or -bodyfile.
inline void set_timeline_options(runtrail_user_context& ctx, bool l2t) {
    ctx.out_csv = false;
    ctx.out_csvl2t = l2t;
    ctx.out_bodyfile = !l2t;
    ctx.separator = l2t ? "," : "|";
    ctx.field_sep_char = l2t ? ',' : '|';
    ctx.field_sep_replacement = l2t ? ' ' : ';';
    ctx.header_pending = true;
    if (l2t) ctx.compact_fields = false, ctx.pad_separator = true;
    ctx.show_prev_times = ctx.show_target_path = true;
    compile_formats(ctx);
}
inline void set_l2t_options(runtrail_user_context& ctx) { set_timeline_options(ctx, true); }
inline void set_body_options(runtrail_user_context& ctx) { set_timeline_options(ctx, false); }

inline std::vector<std::string> split(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t at = text.find(delimiter, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// Output lines without their line ends; a trailing empty piece (after the last "\n") is dropped.
inline std::vector<std::string> lines_of(const std::string& text) {
    auto lines = split(text, '\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

inline bool line_break_marker_ready() {
    std::string text = "a\r\nb";
    mark_line_breaks(text);
    return text == "a[CRLF]b";
}

// Every file below tests/data (or only the *.pf ones), in name order.
inline std::vector<std::filesystem::path> data_files(bool prefetch_only = false) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(RUNTRAIL_TEST_DATA))
        if (entry.is_regular_file() && (!prefetch_only || entry.path().extension() == ".pf"))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::vector<uint8_t> read_bytes(const std::filesystem::path& path) {
    const std::string text = read_text(path);
    return {text.begin(), text.end()};
}

// Parses file bytes into ctx as the per-file chain would (path relative to tests/data), with
// fixed file-system times so that expected lines do not depend on the checkout.
inline bool load_bytes(runtrail_user_context& ctx, const std::string& relative, const std::vector<uint8_t>& bytes,
                       const file_times& times = k_timeline_times) {
    ctx.reset_record();
    ctx.file_path = relative;
    ctx.file_name = relative.substr(relative.rfind('/') + 1);
    if (bytes.empty() || !parse_prefetch(bytes.data(), bytes.size(), ctx)) return false;
    ctx.prefetch_file_size = bytes.size();
    std::copy(times.begin(), times.end(), ctx.prefetch_file_times);
    return true;
}
inline bool load_data_file(runtrail_user_context& ctx, const std::string& relative,
                           const file_times& times = k_timeline_times) {
    return load_bytes(ctx, relative, read_bytes(std::filesystem::path(RUNTRAIL_TEST_DATA) / relative), times);
}

}  // namespace writer_test
