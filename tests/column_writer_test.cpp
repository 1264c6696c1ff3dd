#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "qn_variant_lite.h"
#include "report_writers.h"
#include "runtrail_user_context.h"
#include "writer_fixtures.h"

using namespace writer_fixtures;

namespace {

std::string left(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}
std::string right(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// `text` with the first (or every) `from` replaced by `to`.
std::string edit(std::string text, const std::string& from, const std::string& to, bool every = false) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
        if (!every) break;
    }
    return text;
}

std::string csv_of(const options& o, void (*adjust)(runtrail_user_context&) = nullptr) {
    runtrail_user_context ctx;
    configure(ctx, o);
    fill_record(ctx);
    if (adjust) adjust(ctx);
    std::ostringstream out;
    EXPECT_EQ(write_csv_report(out, ctx), 1);
    return out.str();
}

}  // namespace

TEST(ColumnWriter, LayoutsForEachOptionSet) {
    const std::string path = "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE";
    const std::string prev = "2000-02-29 12:00:00.000; 2038-01-19 03:14:08.000";
    const std::string volumes_modules = ",1,\\DEVICE\\HARDDISKVOLUME1,1a2b-3c4d,2014-03-05 12:34:56.789,2,"
                                        "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL; " + path;
    const std::string header = "prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, "
                               "time-UTC,cdate, time-UTC,path/appname,previous dates run";
    const std::string row = "CMD.EXE-4A81B364.pf,CMD.EXE,3,2014-03-05, 12:34:56.789,2014-03-05, 12:34:56.000,, ,"
                            "1970-01-01, 00:00:01.000," + path + "," + prev;
    const std::string verbose_header = edit(header, ",previous", ",Num Vols,volume(s),volume serial(s),volume "
                                            "date/time(s) (UTC),Num modules,Module list,previous");
    const std::string paired_header = left("prefetch file name", 42) + "," + left("app name", 30) + "," +
                                      left("times ran", 9) + "," + left("last run [UTC]", 23) + "," +
                                      left("modify date [UTC]", 23) + "," + left("access date [UTC]", 23) + "," +
                                      left("changed date [UTC]", 23) + "," + left("path/appname", 90) + "," +
                                      left("previous dates run", 23);
    const std::string paired_row = left("CMD.EXE-4A81B364.pf", 42) + "," + left("CMD.EXE", 30) + "," + right("3", 9) +
                                   ", 2014-03-05 12:34:56.789, 2014-03-05 12:34:56.000, " + left("   ", 23) +
                                   ", 1970-01-01 00:00:01.000," + left(path, 90) + "," + prev;
    const std::string table_header =
        left("prefetch file name", 42) + " | " + left("app name", 30) + " | " + left("times ran", 9) + " | " +
        left("last run", 10) + " |  " + left("time-UTC", 12) + " | " + left("mdate", 10) + " |  " +
        left("time-UTC", 12) + " | " + left("adate", 10) + " |  " + left("time-UTC", 12) + " | " +
        left("cdate", 10) + " |  " + left("time-UTC", 12) + " | " + left("path/appname", 90) + " | " +
        left("previous dates run", 23);
    const std::string table_row =
        left("CMD.EXE-4A81B364.pf", 42) + " | " + left("CMD.EXE", 30) + " | " + right("3", 9) + " | " +
        "2014-03-05 |  12:34:56.789 | 2014-03-05 |  12:34:56.000 | " + left(" ", 10) + " |  " + left(" ", 12) +
        " | 1970-01-01 |  00:00:01.000 | " + left("C:\\a;b", 90) + " | " + prev;
    const std::string compact_header = edit(header, ", ", ",", true);
    struct layout_case {
        const char* name;
        options o;
        void (*adjust)(runtrail_user_context&);
        std::string header, row;
    };
    const layout_case cases[] = {
        {"plain -csv", {}, nullptr, header, row},
        {"-csv -pair_datetime", {.pair_datetime = true}, nullptr, paired_header, paired_row},
        {"-csv -pair_datetime -verbose leaves out volumes and modules", {.pair_datetime = true, .verbose = true},
         nullptr, paired_header, paired_row},
        {"-csv -pair_datetime -no_whitespace -verbose", {.pair_datetime = true, .no_whitespace = true, .verbose = true},
         nullptr,
         "prefetch file name,app name,times ran,last run [UTC],modify date [UTC],access date [UTC],changed date [UTC],"
         "path/appname,Num Vols,volume(s),volume serial(s),volume date/time(s) (UTC),Num modules,Module list,"
         "previous dates run",
         "CMD.EXE-4A81B364.pf,CMD.EXE,3,2014-03-05 12:34:56.789,2014-03-05 12:34:56.000, ,1970-01-01 00:00:01.000," +
             path + volumes_modules + "," + prev},
        {"-csv -verbose", {.verbose = true}, nullptr, verbose_header, edit(row, "," + prev, volumes_modules + "," + prev)},
        {"-csv -verbose, no volumes and no modules", {.verbose = true},
         [](runtrail_user_context& c) {
             c.volume_paths.clear(), c.volume_serials.clear(), c.volume_times.clear(), c.volume_dirs.clear();
             c.modules.clear();
         },
         verbose_header, edit(row, "," + prev, ",0,,,,0,," + prev)},
        {"-csv -username -hostname", {.user_name = "examiner", .host_name = "WS01"}, nullptr,
         header + ",user acct,host name", row + ",examiner,WS01"},
        {"-csv with last run 0 and no earlier runs", {},
         [](runtrail_user_context& c) { c.last_run_time = 0, c.prev_run_times.clear(); }, header,
         "CMD.EXE-4A81B364.pf,CMD.EXE,3,, ,2014-03-05, 12:34:56.000,, ,1970-01-01, 00:00:01.000," + path + ","},
        {"-csv -no_whitespace", {.no_whitespace = true}, nullptr, compact_header, edit(row, ", ", ",", true)},
        {"-csv -pf_path", {.pf_path = true}, nullptr, header, "/cases/" + row},
        {"-csv: a comma in a value becomes a space", {}, [](runtrail_user_context& c) { c.exe_name = "A,B.EXE"; },
         header, edit(row, ",CMD.EXE,", ",A B.EXE,")},
        {"-pipe -enumdir without -csv: padded \" | \" table, a bar in a value becomes ;", {.csv = false},
         [](runtrail_user_context& c) { c.target_path = "C:\\a|b"; }, table_header, table_row},
        {"-csv -csv_separator |", {.csv_separator = "|"}, [](runtrail_user_context& c) { c.exe_name = "A|B,C.EXE"; },
         edit(header, ",", "|", true), edit(edit(row, ",", "|", true), "|CMD.EXE|", "|A;B,C.EXE|")},
        {"-csv -enable_quoted_csv_fields", {.quoted = true},
         [](runtrail_user_context& c) { c.exe_name = "say \"hi\",x", c.target_path = "{\"already\":1}"; },
         compact_header,
         "\"CMD.EXE-4A81B364.pf\",\"say \"\"hi\"\",x\",3,2014-03-05,12:34:56.789,2014-03-05,12:34:56.000,,,"
         "1970-01-01,00:00:01.000,{\"already\":1},\"" + prev + "\""},
        {"line breaks in a value are marked", {}, [](runtrail_user_context& c) { c.exe_name = "A\r\nB\nC\rD\n\rE"; },
         header, edit(row, ",CMD.EXE,", ",A[CRLF]B[LF]C[CR]D[LFCR]E,")},
    };
    for (const layout_case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto lines = lines_of(csv_of(c.o, c.adjust));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], c.header);
        EXPECT_EQ(lines[1], c.row);
    }
}

TEST(ColumnWriter, OneHeaderPerRunAndTheSameColumnsAfterward) {
    runtrail_user_context ctx;
    configure(ctx, {.verbose = true});
    fill_record(ctx);
    std::ostringstream out;
    ASSERT_EQ(write_csv_report(out, ctx), 1);
    // Settings that would change the columns are not looked at again after the first file.
    ctx.verbose = false;
    ctx.user_name = "late";
    ASSERT_EQ(write_csv_report(out, ctx), 1);
    const auto lines = lines_of(out.str());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], lines[2]);
    configure(ctx, {.text_report = true});
    std::ostringstream none;
    EXPECT_EQ(write_csv_report(none, ctx), 0);
    EXPECT_EQ(none.str(), "");
}

TEST(ColumnWriter, LineBreakMarksAndSeparatorRuns) {
    const std::pair<std::string, std::string> marks[] = {
        {"plain", "plain"}, {"a\r\nb", "a[CRLF]b"}, {"a\n\rb", "a[LFCR]b"}, {"a\nb", "a[LF]b"}, {"a\rb", "a[CR]b"},
        {"a\nb\rc", "a[LF]b[CR]c"},  // a lone CR next to an LF elsewhere is still a line end for many readers
        {"\r\r\n", "[CR][CRLF]"}, {"\n\r\n", "[LFCR][LF]"}, {"\n", "[LF]"}, {"", ""},
    };
    for (auto [text, expected] : marks) {
        mark_line_breaks(text);
        EXPECT_EQ(text, expected);
    }
    const std::tuple<std::string, std::string, std::string> runs[] = {
        {"a;b;;c", ";", "a b  c"}, {"a | b", " | ", "a   b"}, {"x\ty", "\t", "x y"}, {"a||||b", "||", "a   |b"},
        {"a b", " ", "a b"},  // a blank separator cannot be protected this way
        {"2014/03/05", "/", "2014 03 05"}, {"abc", "", "abc"},
    };
    for (auto [text, separator, expected] : runs) {
        break_separator_runs(text, separator);
        EXPECT_EQ(text, expected) << separator;
    }
}

TEST(ColumnWriter, CellPositionsOutOfRangeChangeNothing) {
    runtrail_user_context settings;
    configure(settings, {});
    settings.header_columns.clear();
    add_column(settings, "a very long column name", 3);
    add_time_column(settings, "t", 5);
    add_column(settings, "n", 4);
    csv_row row;
    init_row(row, 3, 0);
    EXPECT_EQ(set_number_cell(row, 0, k_2014, cell_filetime_split, 0), 2);
    // Out of range positions and unknown types change nothing and use one position.
    for (const int position : {3, -1, 0})
        EXPECT_EQ(set_text_cell(row, position, "x", position == 0 ? 32 : cell_text, 0), 1);
    // A split time in the last position still fills only that position.
    EXPECT_EQ(set_number_cell(row, 2, k_2014, cell_filetime_split, 0), 2);
    set_number_cell(row, 2, 42, cell_uint, k_flag_decimal);
    settings.compact_fields = false;
    settings.hex_numbers = true;
    std::ostringstream out;
    write_row(out, row, settings);
    // A name longer than its width is written whole; the number is right-aligned and decimal.
    EXPECT_EQ(out.str(), "a very long column name, t    ,n   \n2014-03-05, 12:34:56.789,  42\n");
    csv_row hex;
    init_row(hex, 1, 0);
    set_number_cell(hex, 0, 255, cell_uint, 0);
    std::ostringstream hex_out;
    write_row(hex_out, hex, settings);
    EXPECT_EQ(hex_out.str(), "0xff\n");

    // Quoting: a brace and a quote at the start mean "already quoted".
    csv_row quoted;
    init_row(quoted, 3, k_flag_quoted);
    set_text_cell(quoted, 0, "{\"k\":1}", cell_text, 0);
    set_text_cell(quoted, 1, "{\"", cell_text, 0);
    std::ostringstream stream_text;
    stream_text << "from " << 2 << " parts";
    set_stream_cell(quoted, 2, stream_text, cell_text, 0);
    EXPECT_EQ(quoted.cells[0].text + quoted.cells[1].text + quoted.cells[2].text,
              "{\"k\":1}\"{\"\"\"\"from 2 parts\"");
}
