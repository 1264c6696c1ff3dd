// Reading real prefetch files and parsing them for the writer tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "prefetch_parser.h"
#include "runtrail_user_context.h"

namespace golden_support {

inline std::string data_path(const std::string& relative) { return std::string(RUNTRAIL_TEST_DATA) + "/" + relative; }

inline std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every *.pf below the data folder, sorted.
inline std::vector<std::string> all_prefetch_files() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(RUNTRAIL_TEST_DATA))
        if (entry.is_regular_file() && entry.path().extension() == ".pf") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Fixed stand-ins for the prefetch file's own times, which depend on the checkout.
constexpr uint64_t k_modified = 132354720001234567ULL;  // 2020-06-01 08:00:00.1234567
constexpr uint64_t k_accessed = 132355638150000000ULL;  // 2020-06-02 09:30:15
constexpr uint64_t k_changed = 132356547300000000ULL;   // 2020-06-03 10:45:30

// Parses file bytes into ctx as the per-file step would (path, name, fixed file times).
inline bool parse_data_bytes(runtrail_user_context& ctx, const std::string& relative, const std::vector<uint8_t>& bytes) {
    ctx.reset_record();
    ctx.file_path = relative;
    ctx.file_name = relative.substr(relative.find_last_of('/') + 1);
    ctx.prefetch_file_size = bytes.size();
    ctx.prefetch_file_times[k_file_time_modified] = k_modified;
    ctx.prefetch_file_times[k_file_time_accessed] = k_accessed;
    ctx.prefetch_file_times[k_file_time_changed] = k_changed;
    return !bytes.empty() && parse_prefetch(bytes.data(), bytes.size(), ctx);
}

inline bool parse_data_file(runtrail_user_context& ctx, const std::string& relative) {
    return parse_data_bytes(ctx, relative, read_bytes(data_path(relative)));
}

}  // namespace golden_support
