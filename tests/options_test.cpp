// The command line and the date and time patterns: what each option gives, what is refused, and
// one formatter for every date and time of a report.
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "test_support.h"
#include "time_format.h"
#include "usage.h"

namespace runtrail::test {
namespace {

command_line parsed(std::vector<std::string> args) {
    args.insert(args.begin(), "runtrail");
    return parse_command_line(args);
}

TEST(Options, FormatsAndSeparatorsFromTheCommandLine) {
    // The arguments, then the form, separator, separator character and compact fields they give.
    // The plain forms and separators are held by the captured reports' option sets; these are the
    // orders and paddings those sets do not try.
    const std::tuple<std::vector<std::string>, output_form, std::string, char, bool> rows[] = {
        {{"-csv", "-csvl2t", "x.pf"}, output_form::log2timeline, ",", ',', false},  // the later one wins
        {{"-jsonl", "x.pf", "-bodyfile"}, output_form::body_file, "|", '|', false},
        {{"-pipe", "-enumdir", "d", "-verbose"}, output_form::text, " | ", 0, false},  // not the padded table
        {{"x.pf", "-csv", "-csv_separator", ";"}, output_form::csv, ";", 0, true},
        {{"x.pf", "-csv", "-csv_separator", " , ", "-enable_quoted_csv_fields"}, output_form::csv, ",", 0, true},
        {{"x.pf", "-csvl2t", "-csv_separator", " ; ", "-no_whitespace"}, output_form::log2timeline, ";", 0, true},
    };
    for (const auto& [args, form, separator, sep_char, compact] : rows) {
        const command_line c = parsed(args);
        const report_settings& got = c.settings.report;
        ASSERT_EQ(c.result, command_line::outcome::run) << c.error;
        EXPECT_EQ(std::tuple(got.form, got.separator, got.field_sep_char, got.compact_fields),
                  std::tuple(form, separator, sep_char, compact))
            << testing::PrintToString(args);
    }
    // With both, names come from standard input.
    EXPECT_EQ(settings_of({"-enumdir", "d", "-pipe"}).input, input_mode::standard_input);
}

TEST(Options, UnknownRefusedAndMisusedOptionsFailAndHelpDoesNot) {
    // Options this build does not offer fail the run instead of being ignored.
    for (const char* option : {"-xml", "-gzip", "-zlib", "-multiline", "-csvgen", "-base10", "-signal",
                               "-alias", "-outdir", "-cmd_start_time", "-filter_sig", "-sqlite"}) {
        const command_line c = parsed({"x.pf", option, "1"});
        EXPECT_EQ(c.result, command_line::outcome::failed) << option;
        EXPECT_EQ(c.error, "This option is not offered in this build") << option;
        EXPECT_TRUE(c.error_with_header_block) << option;
    }
    const std::pair<std::vector<std::string>, std::string> misused[] = {
        {{"x.pf", "-bogus"}, "unknown option: -bogus"},
        {{"x.pf", "-cs"}, "unknown option: -cs"},  // no abbreviations
        {{"x.pf", "-hostname"}, "option -hostname needs a value"},
        {{"a.pf", "b.pf"}, "unexpected argument: b.pf"},
        {{"-pipe", "a.pf"}, "unexpected argument: a.pf"},
        {{"-csv"}, "no prefetch file named"},
    };
    for (const auto& [args, error] : misused) {
        const command_line c = parsed(args);
        EXPECT_EQ(c.result, command_line::outcome::failed) << error;
        EXPECT_EQ(c.error, error);
        EXPECT_TRUE(c.error_with_usage) << error;
    }
    for (const char* help : {"-h", "-HELP", "/?", "--help"})
        EXPECT_EQ(parsed({"x.pf", "-csv", help}).result, command_line::outcome::help) << help;
    EXPECT_EQ(parse_command_line({"runtrail"}).result, command_line::outcome::help);

    // The program as a user meets it: the message, then the usage; the exit status says it failed.
    const tool_result unknown = run_tool({"x.pf", "-bogus"});
    EXPECT_EQ(unknown.status, 255);
    EXPECT_EQ(unknown.err.rfind("unknown option: -bogus\nUsage", 0), 0u);
    EXPECT_EQ(unknown.out, "");
    const tool_result refused = run_tool({"x.pf", "-xml"});
    EXPECT_EQ(refused.status, 255);
    EXPECT_EQ(refused.err, "This option is not offered in this build\n");
    EXPECT_EQ(refused.out.substr(0, 44), "runtrail 1.40 - Windows Prefetch file reader");
    EXPECT_EQ(run_tool({"-h"}).status, 0);
}

TEST(Options, CountsAreWholeNumbersWithinTheirRange) {
    const std::tuple<std::string, std::vector<std::string>, std::string> refused[] = {
        {"-num_subdirs", {"abc", "4294967296", "-1", "0x10", "2049", " 3", ""}, " (a whole number from 0 to 2048)"},
        {"-threads", {"0", "-1", "abc", "1025", "2x"}, " (a whole number from 1 to 1024)"}};
    for (const auto& [option, values, range] : refused)
        for (const std::string& bad : values) {
            const command_line c = parsed({"-enumdir", "d", option, bad});
            EXPECT_EQ(c.result, command_line::outcome::failed) << bad;
            EXPECT_EQ(c.error, "invalid " + option + " value: " + bad + range);
        }
    EXPECT_EQ(settings_of({"-enumdir", "d", "-num_subdirs", "2048"}).walk_depth, 2048u);
    EXPECT_EQ(settings_of({"-enumdir", "d", "-num_subdirs", "007"}).walk_depth, 7u);
}

// The options of a text: every "-name" in the lines `is_entry` picks, up to a " = " that starts
// what the option does.
template <typename Pick>
std::set<std::string> options_in(const std::string& text, Pick is_entry) {
    std::set<std::string> found;
    const std::regex option(R"((^|[\s"])(--?[a-z_0-9]+))");
    std::istringstream lines(text);
    std::string line, previous;
    for (; std::getline(lines, line); previous = line) {
        if (!is_entry(line, previous)) continue;
        const std::string plain = std::regex_replace(line.substr(0, line.find(" = ")), std::regex(R"(\\-)"), "-");
        for (std::sregex_iterator it(plain.begin(), plain.end(), option), end; it != end; ++it)
            found.insert((*it)[2]);
    }
    return found;
}

TEST(Options, UsageListsEveryOptionOfTheManualPageAndTheParserTakesThem) {
    const std::string page = read_text(std::string(RUNTRAIL_TEST_DATA) + "/../../doc/runtrail.1");
    const std::string options_section = page.substr(page.find(".SH OPTIONS"), page.find(".SH TIMESKETCH") - page.find(".SH OPTIONS"));
    // In the page, an option is the tag line after .TP; in the usage, the first column of a line.
    const std::set<std::string> in_page =
        options_in(options_section, [](const std::string&, const std::string& previous) { return previous == ".TP"; });
    const std::set<std::string> in_usage = options_in(usage_text("runtrail"), [](const std::string& line, const std::string&) {
        return line.rfind("  -", 0) == 0;
    });
    EXPECT_EQ(in_usage, in_page);
    for (const char* needed : {"-out", "-outfile", "-append", "-quiet", "-diags", "-profile", "-filter_skip", "-longform"})
        EXPECT_EQ(in_usage.count(needed), 1u) << needed;
    for (const std::string& option : in_usage) {
        const command_line c = parse_command_line({"runtrail", "x.pf", option, "v"});
        EXPECT_EQ(c.error.find("unknown option"), std::string::npos) << option;
    }
}

// 2014-03-05 12:34:56.7891234
constexpr uint64_t k_moment = 130384964967891234ULL;

TEST(TimeFormat, PatternsRenderWhatTheySayAndUnusablePatternsAreRefusedWithAWarning) {
    // The default and mm/dd/yyyy with hh:mm:ss are held by the captured reports' pattern sets.
    const std::tuple<const char*, const char*, const char*> rendered[] = {
        {"dd/mm/yyyy", "hh:mm:ss.xxxxxx", "05/03/2014 12:34:56.789123"},
        {"yy-mm-dd", "hh:mm:ss.xxxxxxx", "14-03-05 12:34:56.7891234"},
        {"MMM DD, YY", "HH:MM:SS.XXXXXXXXX", "Mar 05, 14 12:34:56.789123400"},
        {"dd mmm yyyy", "hh:mm:ss.xxxx", "2014-03-05 12:34:56.7891"},  // 11 characters: the default date stays
    };
    for (const auto& [date, time, want] : rendered) {
        time_format f;
        f.set_date_pattern(date);
        EXPECT_TRUE(f.set_time_pattern(time)) << time;
        EXPECT_EQ(f.text(k_moment), want) << date << " " << time;
    }
    time_format f;
    for (const char* refused : {"yyyy-m-d", "yyyy/dd/mm", "mm.dd.yyyy", "yyyymmdd", "dd-mm-yy,", "mm/dd-yyyy", "dd mmm, yy"})
        EXPECT_FALSE(f.set_date_pattern(refused)) << refused;
    for (const char* refused : {"hh-mm-ss", "hh:mm", "hh:mm:ss.xx", "hh:mm:ss,xxx", "hh:mm:ss.xxxxxxxxxx", "mm:ss.xxx"})
        EXPECT_FALSE(f.set_time_pattern(refused)) << refused;
    EXPECT_EQ(f.text(k_moment), "2014-03-05 12:34:56.789");  // refused patterns leave the defaults

    // Cut, never rounded; only printable times print.
    EXPECT_EQ(f.text(130384964969999999ULL), "2014-03-05 12:34:56.999");
    EXPECT_EQ(f.text_whole_seconds(k_moment), "2014-03-05 12:34:56");
    // Not printable: none, the first second of 1970, bit 63, before 1900, after 3000.
    for (uint64_t no_time : {0ULL, 116444736000000000ULL, 116444736009999999ULL, 1ULL << 63, 94354847990000000ULL,
                             441796896000000000ULL})
        EXPECT_EQ(f.text(no_time), " ") << no_time;
    EXPECT_EQ(f.text(116444736010000000ULL), "1970-01-01 00:00:01.000");
    EXPECT_EQ(f.text(94354848000000000ULL), "1900-01-01 00:00:00.000");
    EXPECT_EQ(f.text(441796895990000000ULL), "3000-12-31 23:59:59.000");

    // From the command line, unusable patterns are said and the defaults kept.
    const command_line c = parsed({"x.pf", "-dateformat", "yyyy-m-d", "-timeformat", "hh:mm"});
    EXPECT_EQ(c.warnings, (std::vector<std::string>{"invalid yyyy-m-d, using default format", "invalid hh:mm, using default format"}));
    EXPECT_EQ(c.settings.report.times.text(k_moment), "2014-03-05 12:34:56.789");
}

}  // namespace
}  // namespace runtrail::test
