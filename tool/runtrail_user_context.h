// The one context of a run: the settings (cmd_params) plus the tool's flags, the current input
// file's identity and times, and everything parsed out of its prefetch image. Writers read it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cmd_params.h"

class run_progress;

struct runtrail_user_context : cmd_params {
    explicit runtrail_user_context(uint64_t launch_time = 0);

    // Tool defaults: the generic reset, then the tool's own values (CSV with " | " until an
    // output option says otherwise), then an empty record.
    void tool_reset();
    // Clears the per-file parse results (not the path, flags or source_label).
    void reset_record();

    std::string file_path;
    std::string file_name;
    // The multi-file status and counts (owned by the driver); absent in single-file runs and
    // under -quiet. Messages during the run go through it so they never share the status line.
    run_progress* progress = nullptr;
    bool show_prev_times = false;
    bool show_prefetch_path = false;
    bool show_target_path = false;

    uint32_t format_version = 0;  // the image's version field (17, 23, 26, 30, 31, ...)
    uint32_t run_count = 0;
    std::string exe_name;
    std::string target_path;
    uint64_t prefetch_file_size = 0;
    uint64_t prefetch_file_times[3] = {0, 0, 0};  // modified, accessed, changed (FILETIME)
    uint64_t last_run_time = 0;
    std::set<uint64_t> prev_run_times;
    std::map<uint64_t, std::string> modules;  // key: byte offset of the string in the image
    std::vector<std::string> volume_paths;
    std::vector<uint64_t> volume_times;
    std::vector<uint32_t> volume_serials;
    std::vector<std::map<uint64_t, std::string>> volume_dirs;  // key: 1-based position
};

enum : size_t { k_file_time_modified = 0, k_file_time_accessed = 1, k_file_time_changed = 2 };
