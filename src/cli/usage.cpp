#include "usage.h"

#include "ascii_text.h"
#include "field_text.h"

namespace runtrail {
namespace {

const char* const k_usage_lines[] = {
    "Usage:",
    "",
    "   runtrail <filename> [options]   = parse individual file",
    "   find /home -name *.pf -type f | %s -pipe",
    "   ls /home/prefetch_dir/*.pf | %s -pipe > results",
    "   runtrail -enumdir <location pf files> -num_subdirs <#> [options]",
    "",
    " Basic options",
    "  -csv                       = output in comma separated value format",
    "  -csvl2t                    = log2timeline output",
    "  -bodyfile                  = sleuthkit output",
    "  -verbose                   = force module listing to be in output",
    "",
    " Additional options",
    "  -pipe                      = pipe files into app for processing",
    "  -hostname <name>           = csv output will contain this hostname",
    "  -dateformat mm/dd/yyyy     = \"yyyy-mm-dd\" is the default",
    "  -timeformat hh:mm:ss       = \"hh:mm:ss.xxx\" is the default",
    "  -pair_datetime             = combine date/time into 1 field for csv",
    "  -no_whitespace             = remove whitespace between csv delimiter",
    "  -csv_separator \"|\"         = use a pipe character for csv separator",
    "  -pf_path                   = include prefetch path in output",
    "  -filter <*partial*|*.ext>  = filters stdin data from -pipe option",
    "  -jsonl                     = JSON Lines output, one object per file",
    "  -hashcheck                 = check the prefetch hash against name and path",
    "  -timesketch                = Timesketch events, one JSON object per time",
    "  -threads <n>               = files at once (default: one per processor)",
    "  -html                      = one HTML page: heading, timeline, table",
    "",
};

}  // namespace

std::string usage_text(const std::string& program) {
    std::string text;
    for (const char* line : k_usage_lines) {
        std::string l = line;
        for (size_t at = l.find("%s"); at != std::string::npos; at = l.find("%s", at + program.size()))
            l.replace(at, 2, program);
        text += l;
        text += '\n';
    }
    return text;
}

std::string header_block(const std::vector<std::string>& args) {
    std::string text = "runtrail ";
    text += k_runtrail_version;
    text += " - Windows Prefetch file reader\n";
    text += "\"cmdline: runtrail ";
    text += k_runtrail_version;
    text += " - ";
    for (const std::string& arg : args) {
        if (equals_ignore_case(arg, "-pipe")) {
            text += "<filelist> ... | ";
            break;
        }
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) text += ' ';
        // A shell pattern may have put a crafted file name here.
        std::string arg = args[i];
        make_printable(arg);
        if (arg.find(' ') != std::string::npos)
            text += '\'' + arg + '\'';
        else
            text += arg;
    }
    text += '"';
    return text;
}

}  // namespace runtrail
