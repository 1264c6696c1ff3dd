#include "usage.h"

#include "ascii_text.h"
#include "field_text.h"

namespace runtrail {
namespace {

const char* const k_usage_head[] = {
    "Usage:",
    "",
    "   runtrail <filename> [options]   = parse individual file",
    "   find /home -name *.pf -type f | %s -pipe",
    "   ls /home/prefetch_dir/*.pf | %s -pipe > results",
    "   runtrail -enumdir <location pf files> -num_subdirs <#> [options]",
};

// Every option runtrail accepts, in the groups of the manual page: a new option is one line here.
struct usage_entry {
    const char* group;   // starts a group when not null
    const char* option;  // the option as typed, with its value
    const char* what;
};

constexpr usage_entry k_options[] = {
    {"Output forms", "-csv", "output in comma separated value format"},
    {nullptr, "-csvl2t", "log2timeline output"},
    {nullptr, "-bodyfile", "sleuthkit output"},
    {nullptr, "-jsonl", "JSON Lines output, one object per file"},
    {nullptr, "-timesketch", "Timesketch events, one JSON object per time"},
    {nullptr, "-html", "one HTML page: heading, timeline, table"},
    {nullptr, "-longform", "the labelled text report (the default)"},
    {nullptr, "-verbose, -v", "force module listing to be in output"},
    {"Input", "-pipe", "pipe files into app for processing"},
    {nullptr, "-enumdir <dir>", "walk a directory for prefetch files"},
    {nullptr, "-num_subdirs <#>", "levels below -enumdir to walk (0 to 2048)"},
    {nullptr, "-image <disk image>", "prefetch files of each NTFS volume, deleted ones too"},
    {nullptr, "-threads <n>", "files at once (default: one per processor)"},
    {nullptr, "-filter <*partial*|*.ext>", "filters stdin data from -pipe option"},
    {nullptr, "-filter_skip <patterns>", "leave out the names these patterns match"},
    {"Layout", "-hostname <name>", "csv output will contain this hostname"},
    {nullptr, "-username <name>", "csv output will contain this user name"},
    {nullptr, "-dateformat mm/dd/yyyy", "\"yyyy-mm-dd\" is the default"},
    {nullptr, "-timeformat hh:mm:ss", "\"hh:mm:ss.xxx\" is the default"},
    {nullptr, "-pair_datetime", "combine date/time into 1 field for csv"},
    {nullptr, "-no_whitespace", "remove whitespace between csv delimiter"},
    {nullptr, "-csv_separator \"|\"", "use a pipe character for csv separator"},
    {nullptr, "-enable_quoted_csv_fields", "put csv fields in double quotes"},
    {nullptr, "-pf_path", "include prefetch path in output"},
    {nullptr, "-hashcheck", "check the prefetch hash against name and path"},
    {"Results", "-out, -outfile <file>", "write the report to a file"},
    {nullptr, "-append", "with -out, add to an existing file"},
    {nullptr, "-quiet", "no messages about skipped files, no summary"},
    {nullptr, "-profile", "print the elapsed time at the end"},
    {nullptr, "-diags <file>", "write a log of the names handled"},
    {nullptr, "-h, -help, --help", "print this usage"},
};

// Options and their meanings line up in two columns.
constexpr size_t k_option_column = 27;

}  // namespace

std::string usage_text(const std::string& program) {
    std::string text;
    for (const char* line : k_usage_head) {
        std::string l = line;
        for (size_t at = l.find("%s"); at != std::string::npos; at = l.find("%s", at + program.size()))
            l.replace(at, 2, program);
        text += l;
        text += '\n';
    }
    for (const usage_entry& entry : k_options) {
        if (entry.group) text += std::string("\n ") + entry.group + '\n';
        std::string option = std::string("  ") + entry.option;
        if (option.size() < k_option_column + 2) option.resize(k_option_column + 2, ' ');
        else option += ' ';
        text += option + "= " + entry.what + '\n';
    }
    text += '\n';
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
