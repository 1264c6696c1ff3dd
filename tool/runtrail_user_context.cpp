#include "runtrail_user_context.h"

runtrail_user_context::runtrail_user_context(uint64_t launch) : cmd_params(launch, true) { tool_reset(); }

void runtrail_user_context::tool_reset() {
    reset();
    file_path.clear();
    file_name.clear();
    show_prev_times = false;
    show_prefetch_path = false;
    show_target_path = false;
    verbose = false;
    header_pending = true;
    out_csv = true;
    separator = " | ";
    field_sep_char = '|';
    field_sep_replacement = ';';
    reset_record();
}

void runtrail_user_context::reset_record() {
    format_version = 0;
    run_count = 0;
    exe_name.clear();
    target_path.clear();
    prefetch_file_size = 0;
    prefetch_file_times[0] = prefetch_file_times[1] = prefetch_file_times[2] = 0;
    last_run_time = 0;
    prev_run_times.clear();
    modules.clear();
    volume_paths.clear();
    volume_times.clear();
    volume_serials.clear();
    volume_dirs.clear();
}
