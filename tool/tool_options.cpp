#include "tool_options.h"

#include "cmd_params.h"
#include "qn_string.h"
#include "runtrail_user_context.h"

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
    "",
};

const char* const k_help_options[] = {"-h", "-help", "/?", "--help"};
const char* const k_format_options[] = {"-csv", "-csvl2t", "-bodyfile", "-jsonl"};

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

bool help_requested(const std::vector<std::string>& args) {
    if (args.size() == 1) return true;
    for (const char* option : k_help_options)
        if (has_arg_from(option, args, 0)) return true;
    return false;
}

std::string header_block(const std::vector<std::string>& args) {
    std::string text = "runtrail ";
    text += k_runtrail_version;
    text += " - Windows Prefetch file reader\n";
    text += "\"cmdline: runtrail ";
    text += k_runtrail_version;
    text += " - ";
    if (has_arg_from("-pipe", args, 0)) text += "<filelist> ... | ";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) text += ' ';
        if (args[i].find(' ') != std::string::npos)
            text += '\'' + args[i] + '\'';
        else
            text += args[i];
    }
    text += '"';
    return text;
}

bool parse_tool_options(runtrail_user_context& ctx, std::vector<std::string>& args, const std::string& version_text) {
    ctx.tool_reset();

    bool format_given = false;
    for (const char* option : k_format_options)
        format_given = format_given || has_arg_from(option, args, 1);
    if (!format_given) {
        // Without a format option the report is the long text form, except in a run that both
        // pipes and walks without asking for verbose output, which stays CSV.
        const bool pipe_and_walk = has_arg_from("-pipe", args, 1) && has_arg_from("-enumdir", args, 1);
        const bool verbose = has_arg_from("-verbose", args, 1) || has_arg_from("-v", args, 1);
        // It goes right after the program name, not at the end, so that a value option given
        // last ("x.pf -hostname") still finds nothing after it instead of taking "-longform".
        if ((!pipe_and_walk || verbose) && !has_arg_from("-longform", args, 0))
            args.insert(args.begin() + 1, "-longform");
    }

    if (!parse_generic_options(ctx, args)) return false;

    ctx.source_label = "PREFETCH";
    ctx.version_text = version_text;
    ctx.show_target_path = true;
    ctx.show_prev_times = true;

    if (find_flag("-pf_path", args)) ctx.show_prefetch_path = true;
    if (find_flag("-longform", args)) {
        ctx.verbose = true;
        ctx.out_xml = ctx.out_csv = ctx.out_csvl2t = ctx.out_bodyfile = ctx.out_jsonl = false;
        ctx.field_sep_char = 0;
        ctx.field_sep_replacement = 0;
        ctx.show_prev_times = true;
    }
    // The generic parser only notes -append; it is the tool's option and leaves the list here so
    // that "runtrail x.pf -out r.txt -append" is still the single-file form.
    find_flag("-append", args);
    return true;
}
