#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "report_writers.h"
#include "runtrail_user_context.h"
#include "writer_fixtures.h"

using namespace writer_fixtures;

namespace {

struct named_options {
    const char* name;
    options o;
};

std::vector<named_options> option_sets() {
    return {
        {"-csv", {}}, {"-csv -verbose", {.verbose = true}}, {"-pipe -enumdir", {.csv = false}},
        {"-csv -pair_datetime -verbose", {.pair_datetime = true, .verbose = true}},
        {"-csv -pair_datetime -no_whitespace -verbose", {.pair_datetime = true, .no_whitespace = true, .verbose = true}},
        {"-csv -csv_separator ;", {.verbose = true, .csv_separator = ";"}},
        {"-csv -csv_separator \\t", {.verbose = true, .csv_separator = "\\t"}},
        {"-csv -csv_separator ::", {.verbose = true, .csv_separator = "::"}},
        {"-csv -csv_separator / -username -hostname",
         {.verbose = true, .csv_separator = "/", .user_name = "u,s|e\"r", .host_name = "h\r\nost"}},
        {"-csv -enable_quoted_csv_fields", {.verbose = true, .quoted = true}},
        {"-csv -csv_separator ; -enable_quoted_csv_fields", {.verbose = true, .quoted = true, .csv_separator = ";"}},
        {"-csv -pf_path -username -hostname", {.verbose = true, .user_name = "examiner", .host_name = "WS01",
                                               .pf_path = true}},
    };
}

// Fields of one line as a reader splits them: on the separator (without its padding spaces),
// honouring double quotes as CSV readers do when the fields are quoted. -1 when a quoted field
// is left open at the end of the line.
int count_fields(const std::string& line, const std::string& separator, bool quoted) {
    const size_t first = separator.find_first_not_of(' ');
    const std::string key = separator.substr(first, separator.find_last_not_of(' ') - first + 1);
    int fields = 1;
    bool in_quotes = false, field_start = true;
    for (size_t i = 0; i < line.size();) {
        const bool at_start = field_start;
        field_start = false;
        if (quoted && line[i] == '"' && (in_quotes || at_start)) {
            const bool doubled = in_quotes && i + 1 < line.size() && line[i + 1] == '"';
            if (!doubled) in_quotes = !in_quotes;
            i += doubled ? 2 : 1;
        } else if (!in_quotes && line.compare(i, key.size(), key) == 0) {
            ++fields, i += key.size(), field_start = true;
        } else {
            ++i;
        }
    }
    return in_quotes ? -1 : fields;
}

// The whole output keeps one shape: no CR anywhere, and every line has the header's field count.
void expect_one_shape(const std::string& output, const runtrail_user_context& ctx, size_t rows) {
    EXPECT_EQ(output.find('\r'), std::string::npos);
    const auto lines = lines_of(output);
    ASSERT_EQ(lines.size(), rows + 1);
    const int header_fields = count_fields(lines[0], ctx.separator, false);
    EXPECT_EQ(header_fields, static_cast<int>(ctx.header_columns.size()));
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(count_fields(lines[i], ctx.separator, ctx.quoted_fields), header_fields) << lines[i];
}

}  // namespace

TEST(CsvReport, HostileNamesKeepTheTableShape) {
    const std::vector<std::string> hostile = {
        "a,b,c",  "a|b|c", "\"quoted\"", "\"", "\"\"", "x\r\ny", "x\ry", "x\ny\rz", "\n\r", "tab\there", "semi;colon",
        "{\"open", "{\",", "a::b:::c", "2014/03/05", " | ", ",\"", "\x01\x1b[2J", "[CR]", "",
    };
    for (const named_options& set : option_sets()) {
        SCOPED_TRACE(set.name);
        runtrail_user_context ctx;
        configure(ctx, set.o);
        std::ostringstream out;
        for (const std::string& h : hostile) {
            fill_record(ctx);
            ctx.file_name = h + ".pf";
            ctx.file_path = "/x/" + h + ".pf";
            ctx.exe_name = h;
            ctx.target_path = "\\" + h;
            ctx.modules[300] = h;
            ctx.modules[400] = h + h;
            ctx.volume_paths.push_back(h);
            ctx.volume_serials.push_back(0);
            ctx.volume_times.push_back(0);
            ctx.volume_dirs.push_back({{1, h}});
            ASSERT_EQ(write_csv_report(out, ctx), 1);
        }
        expect_one_shape(out.str(), ctx, hostile.size());
    }
}

TEST(CsvReport, EveryRealFileGivesRowsOfTheHeadersShape) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    size_t plain_images = 0;  // files that start as a prefetch image (not a compressed container)
    for (const auto& path : writer_test::data_files(true)) {
        const auto& bytes = files.emplace_back(std::filesystem::relative(path, RUNTRAIL_TEST_DATA).string(),
                                               writer_test::read_bytes(path)).second;
        plain_images += bytes.size() >= 8 && std::string(bytes.begin() + 4, bytes.begin() + 8) == "SCCA";
    }
    ASSERT_GT(plain_images, 40u);
    for (const named_options& set : option_sets()) {
        SCOPED_TRACE(set.name);
        runtrail_user_context ctx;
        configure(ctx, set.o);
        std::ostringstream out;
        size_t rows = 0;
        for (const auto& [name, bytes] : files) {
            if (!writer_test::load_bytes(ctx, name, bytes, writer_test::k_golden_times)) continue;
            ASSERT_EQ(write_csv_report(out, ctx), 1);
            ++rows;
        }
        EXPECT_GE(rows, plain_images);
        expect_one_shape(out.str(), ctx, rows);
    }
}

TEST(CsvReport, RowValuesOfARealFile) {
    runtrail_user_context ctx;
    configure(ctx, {.verbose = true});
    ASSERT_TRUE(writer_test::load_data_file(ctx, "Win8x/CMD.EXE-4A81B364.pf", writer_test::k_golden_times));
    std::ostringstream out;
    ASSERT_EQ(write_csv_report(out, ctx), 1);
    const auto lines = lines_of(out.str());
    ASSERT_EQ(lines.size(), 2u);
    const std::string v = "\\DEVICE\\HARDDISKVOLUME2", w = v + "\\WINDOWS", s32 = w + "\\SYSTEM32\\";
    EXPECT_EQ(lines[1],
              "CMD.EXE-4A81B364.pf,CMD.EXE,2,2016-01-16, 21:10:14.120,2020-06-01, 08:00:00.123,2020-06-02, "
              "09:30:15.000,2020-06-03, 10:45:30.000," + s32 + "CMD.EXE,1," + v + ",c6ee-7444,2016-01-16 22:04:54.351,13," +
                  s32 + "NTDLL.DLL; " + s32 + "CMD.EXE; " + s32 + "KERNEL32.DLL; " + s32 + "KERNELBASE.DLL; " + s32 +
                  "LOCALE.NLS; " + s32 + "MSVCRT.DLL; " + s32 + "WINBRAND.DLL; " + w +
                  "\\BRANDING\\BASEBRD\\BASEBRD.DLL; " + w + "\\BRANDING\\BASEBRD\\EN-US\\BASEBRD.DLL.MUI; " + w +
                  "\\GLOBALIZATION\\SORTING\\SORTDEFAULT.NLS; " + s32 + "EN-US\\CMD.EXE.MUI; " + v + "\\$MFT; " +
                  s32 + "CONHOST.EXE,2016-01-16 21:10:09.746");
}
