// The command line: one pass over the arguments, left to right, through a table of the options
// runtrail offers.
#pragma once

#include <string>
#include <vector>

#include "run_settings.h"

namespace runtrail {

struct command_line {
    enum class outcome { run, help, failed };
    outcome result = outcome::failed;
    run_settings settings;
    // Messages about values that were refused but leave the run going ("invalid ..., using default
    // format"), in the order met.
    std::vector<std::string> warnings;
    // Why the command line failed, when it did (a line of its own), and how to say it: with the
    // usage text after it, or with the report's header block on standard output.
    std::string error;
    bool error_with_usage = false;
    bool error_with_header_block = false;
    bool without_header_block = false;  // the form asked for never has one: JSON Lines or the HTML page
};

// `args` holds the program name first. A help option anywhere, or no argument at all, asks for the
// usage text.
command_line parse_command_line(const std::vector<std::string>& args);

// The program's name as the usage text shows it: the first argument without directory or extension.
std::string program_name_of(const std::string& first_argument);

}  // namespace runtrail
