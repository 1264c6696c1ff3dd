// Everything the command line decides for a run, made once by the option parser and read-only
// afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "name_filter.h"
#include "report_settings.h"

namespace runtrail {

enum class input_mode { single_file, standard_input, directory_walk, disk_image };

struct run_settings {
    report_settings report;

    input_mode input = input_mode::single_file;
    std::string file_path;  // single_file: the one name given
    std::string walk_root;  // directory_walk: -enumdir; disk_image: the folder in each volume, if given
    std::string image_path;  // disk_image: -image
    uint32_t walk_depth = 0;  // directory_walk: -num_subdirs, levels below the root
    std::vector<filter_entry> include_filters;  // -filter
    std::vector<filter_entry> skip_filters;     // -filter_skip
    // -threads: files read, parsed and rendered at once in a multi-file run; 0 for one per core
    // available to the process (at most 64), 1 for one file after the other.
    uint32_t threads = 0;

    std::string results_path;  // -out; empty: standard output
    bool append_results = false;
    bool quiet = false;    // -quiet: no message for a skipped file, no status line, no summary
    bool profile = false;  // -profile: the elapsed time on standard error at the end
    std::string diag_path;  // -diags: a log of the names handled

    std::string command_line;  // the arguments as typed, for the -diags log
};

}  // namespace runtrail
