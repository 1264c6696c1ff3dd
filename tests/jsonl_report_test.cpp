#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "json_check.h"
#include "json_text.h"
#include "jsonl_report.h"
#include "qn_string.h"
#include "report_writers.h"
#include "writer_test_support.h"

using namespace writer_test;

namespace {

std::string run_jsonl(runtrail_user_context& ctx) {
    std::ostringstream out;
    EXPECT_EQ(write_jsonl_report(out, ctx), 1);
    return out.str();
}

// A time field: null exactly when the FILETIME is not valid, otherwise the breakdown (checked
// day by day against the civil calendar elsewhere) with all seven fraction digits.
void expect_time(const json_check::value* v, uint64_t filetime) {
    ASSERT_NE(v, nullptr);
    qn::_windows_systemtime st;
    if (!qn::time(static_cast<int64_t>(filetime), qn::type_filetime).valid ||
        !qn::filetime_to_systemtime(filetime, st)) {
        EXPECT_TRUE(v->is_null()) << v->text;
        return;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%07uZ", unsigned{st.year}, unsigned{st.month},
                  unsigned{st.day}, unsigned{st.hour}, unsigned{st.minute}, unsigned{st.second},
                  static_cast<unsigned>(filetime % 10'000'000));
    EXPECT_EQ(v->kind, json_check::value::string_kind);
    EXPECT_EQ(v->text, text);
}

void expect_text(const json_check::value* v, const std::string& expected) {
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->kind, json_check::value::string_kind);
    EXPECT_EQ(v->text, qn::sanitize_utf8(expected));
}

void expect_number(const json_check::value* v, uint64_t expected) {
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->kind, json_check::value::number_kind);
    EXPECT_EQ(v->text, std::to_string(expected));
}

// Checks one JSON line against the context it was written from: every key in order, every value.
void expect_jsonl_matches_context(const std::string& line, const runtrail_user_context& ctx) {
    ASSERT_EQ(line.find('\n'), std::string::npos);
    const auto doc = json_check::parse(line);
    ASSERT_TRUE(doc.has_value()) << "not valid JSON: " << line;
    const char* const keys[] = {"file_path", "file_name", "file_size", "modified", "accessed", "changed", "version",
                                "version_label", "exe_name", "target_path", "run_count", "last_run",
                                "previous_runs", "modules", "volumes"};
    ASSERT_EQ(doc->members.size(), std::size(keys));
    for (size_t i = 0; i < std::size(keys); ++i) EXPECT_EQ(doc->members[i].first, keys[i]);
    expect_text(doc->find("file_path"), ctx.file_path);
    expect_text(doc->find("file_name"), ctx.file_name);
    expect_number(doc->find("file_size"), ctx.prefetch_file_size);
    for (size_t i = 0; i < 3; ++i) expect_time(&doc->members[3 + i].second, ctx.prefetch_file_times[i]);
    expect_number(doc->find("version"), ctx.format_version);
    expect_text(doc->find("version_label"), ctx.source_label);
    expect_text(doc->find("exe_name"), ctx.exe_name);
    expect_text(doc->find("target_path"), ctx.target_path);
    expect_number(doc->find("run_count"), ctx.run_count);
    expect_time(doc->find("last_run"), ctx.last_run_time);
    const auto& prev = doc->find("previous_runs")->items;
    ASSERT_EQ(prev.size(), ctx.prev_run_times.size());
    auto item = prev.begin();
    for (uint64_t t : ctx.prev_run_times) expect_time(&*item++, t);
    const auto& modules = doc->find("modules")->items;
    ASSERT_EQ(modules.size(), ctx.modules.size());
    item = modules.begin();
    for (const auto& [offset, name] : ctx.modules) expect_text(&*item++, name);
    const auto& volumes = doc->find("volumes")->items;
    ASSERT_EQ(volumes.size(), ctx.volume_paths.size());
    for (size_t v = 0; v < volumes.size(); ++v) {
        ASSERT_EQ(volumes[v].members.size(), 4u);
        expect_text(volumes[v].find("device_path"), ctx.volume_paths[v]);
        char serial[16];
        std::snprintf(serial, sizeof serial, "%04x-%04x", ctx.volume_serials[v] >> 16, ctx.volume_serials[v] & 0xFFFF);
        expect_text(volumes[v].find("serial"), serial);
        expect_time(volumes[v].find("created"), ctx.volume_times[v]);
        const auto& dirs = volumes[v].find("directories")->items;
        ASSERT_EQ(dirs.size(), ctx.volume_dirs[v].size());
        item = dirs.begin();
        for (const auto& [position, dir] : ctx.volume_dirs[v]) expect_text(&*item++, dir);
    }
}

struct jsonl_context : runtrail_user_context {
    jsonl_context() {
        fill_record(*this);
        out_jsonl = true;
    }
};

bool have_jq() { return std::system("command -v jq >/dev/null 2>&1") == 0; }

// jq's compact output for `input` through `filter`; empty when jq refuses the input.
std::string jq(const std::string& input, const std::string& filter) {
    const std::string path = ::testing::TempDir() + "runtrail_jq_input.jsonl";
    std::ofstream(path, std::ios::binary) << input;
    std::string output;
    if (FILE* pipe = popen(("jq -c '" + filter + "' < '" + path + "' 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
        if (pclose(pipe) != 0) output.clear();
    }
    std::remove(path.c_str());
    return output;
}

}  // namespace

TEST(JsonlReport, OneLineHoldingEveryParsedValue) {
    jsonl_context ctx;
    ctx.run_count = 4;
    ctx.prev_run_times = {k_run - 20'000'000, k_run - 10'000'000};
    const std::string output = run_jsonl(ctx);
    const auto lines = lines_of(output);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(output.back(), '\n');
    expect_jsonl_matches_context(lines[0], ctx);
    // The stored 100 ns value survives in the text.
    for (const char* part : {"\"last_run\":\"2014-03-05T12:34:56.7891234Z\"", "\"serial\":\"1a2b-3c4d\"",
                             "\"version\":30,\"version_label\":\"Win10 Prefetch\""})
        EXPECT_NE(lines[0].find(part), std::string::npos) << part;

    ctx.out_jsonl = false;
    std::ostringstream out;
    EXPECT_EQ(write_jsonl_report(out, ctx), 0);
    EXPECT_TRUE(out.str().empty());
}

TEST(JsonlReport, TimesThatAreNotValidAreNull) {
    jsonl_context ctx;
    ctx.last_run_time = 0;
    ctx.prefetch_file_times[k_file_time_modified] = 0x8000000000000000ULL;
    ctx.prefetch_file_times[k_file_time_accessed] = 441796896000000000ULL;  // 3001-01-01
    ctx.prefetch_file_times[k_file_time_changed] = 116444735990000000ULL;   // 1969-12-31 23:59:59: valid
    ctx.prev_run_times = {116444736000000000ULL, k_run};
    ctx.volume_times = {1};  // 1601-01-01: before 1900, not valid
    const auto line = lines_of(run_jsonl(ctx)).at(0);
    expect_jsonl_matches_context(line, ctx);
    for (const char* part : {"\"modified\":null,\"accessed\":null,\"changed\":\"1969-12-31T23:59:59.0000000Z\"",
                             "\"last_run\":null,\"previous_runs\":[null,\"2014-03-05T12:34:56.7891234Z\"]",
                             "\"created\":null"})
        EXPECT_NE(line.find(part), std::string::npos) << part;
    EXPECT_EQ(json_time(94354848000000000ULL), "\"1900-01-01T00:00:00.0000000Z\"");
    EXPECT_EQ(json_time(441796895999999999ULL), "\"3000-12-31T23:59:59.9999999Z\"");
}

TEST(JsonlReport, HostileTextsStayValidJson) {
    std::string controls;
    for (int c = 1; c < 0x20; ++c) controls.push_back(static_cast<char>(c));
    controls.push_back(0x7F);
    const uint16_t broken_utf16[] = {0x0041, 0xD800, 0x0042, 0xDC00, 0xD83D, 0xDE00, 0xDBFF};
    const std::string from_utf16 = qn::utf16_units_to_utf8(broken_utf16, 7);
    const std::string invalid_utf8 = "a\xFF" "b\xC0\x80" "c\xE2\x82" "d\xED\xA0\x80" "e\xF4\x90\x80\x80";

    jsonl_context ctx;
    ctx.file_path = "C:\\dir\\\"quoted\"\\name.pf";
    ctx.file_name = invalid_utf8;
    ctx.exe_name = from_utf16;
    ctx.target_path = controls;
    ctx.source_label = std::string("nul\0inside", 10);
    ctx.modules = {{1, "\\\\\"\\u0041\""}, {2, "line\u2028sep\u2029para"}, {3, ""}, {4, "}\",{\"x\":["}};
    ctx.volume_paths = {"\\\\?\\\"\\"};
    ctx.volume_dirs = {{{1, std::string("\r\n\t\b\f")}}};
    const std::string output = run_jsonl(ctx);
    const auto lines = lines_of(output);
    ASSERT_EQ(lines.size(), 1u);
    for (unsigned char c : lines[0]) EXPECT_GE(c, 0x20) << "raw control character in the line";
    expect_jsonl_matches_context(lines[0], ctx);

    // The escapes themselves.
    EXPECT_EQ(qn::json_string("a\"b\\c\x01\x1F\x7F"), "\"a\\\"b\\\\c\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(qn::json_string("\xFF"), "\"\xEF\xBF\xBD\"");
    EXPECT_EQ(qn::json_string("\xE2\x80\xA8"), "\"\\u2028\"");
    EXPECT_EQ(qn::json_string("\xE2\x80\xA7\xE2\x82\xAC"), "\"\xE2\x80\xA7\xE2\x82\xAC\"");
    EXPECT_EQ(qn::json_string(""), "\"\"");
}

TEST(JsonlReport, JqReadsTheOutput) {
    if (!have_jq()) GTEST_SKIP() << "jq is not installed (.ci/install-test-tools installs it)";
    jsonl_context ctx;
    std::string output = run_jsonl(ctx);
    ctx.file_name = std::string("q\"\\\x01\xFF\n");
    ctx.exe_name = "\xED\xA0\x80";
    output += run_jsonl(ctx);
    EXPECT_EQ(jq(output, "[.file_name, .run_count, .volumes[0].serial]"),
              "[\"CALC.EXE-77FDF17F.pf\",1,\"1a2b-3c4d\"]\n"
              "[\"q\\\"\\\\\\u0001\xEF\xBF\xBD\\n\",1,\"1a2b-3c4d\"]\n");
}

TEST(JsonlReport, TestReaderRejectsWhatIsNotStrictJson) {
    // The checker the tests above rely on must refuse malformed lines, or they prove nothing.
    for (const char* bad : {"{\"a\":1,}", "{\"a\":1,\"a\":2}", "[\"\x01\"]", "[\"\\ud800\"]", "[\"\\udc00x\"]",
                            "[\"\xFF\"]", "[\"\\x\"]", "[01]", "{\"a\":1} x", "{'a':1}", "[1.]", "nul"}) {
        EXPECT_FALSE(json_check::parse(bad).has_value()) << bad;
    }
    for (const char* good : {"{\"a\":[1,-2.5e3,null,true,false,\"\\ud83d\\ude00\\/\"]}", "[]", "{}", "\"\""}) {
        EXPECT_TRUE(json_check::parse(good).has_value()) << good;
    }
}

TEST(JsonlReport, EveryRealFileGivesJsonEqualToItsParse) {
    std::string all;
    size_t parsed = 0;
    for (const auto& path : data_files()) {
        runtrail_user_context ctx;
        const std::string relative = std::filesystem::relative(path, RUNTRAIL_TEST_DATA).string();
        if (!load_data_file(ctx, relative)) continue;
        SCOPED_TRACE(relative);
        ++parsed;
        ctx.out_jsonl = true;
        const std::string output = run_jsonl(ctx);
        ASSERT_EQ(lines_of(output).size(), 1u);
        expect_jsonl_matches_context(lines_of(output)[0], ctx);
        // Win10 CALC: slot 1 at 0x80 of the decompressed image is 0x01D14CBC951EFB78.
        EXPECT_TRUE(relative != "Win10/CALC.EXE-3FBEF7FD.pf" ||
                    output.find("\"last_run\":\"2016-01-11T22:08:20.9853304Z\"") != std::string::npos);
        all += output;
    }
    EXPECT_GE(parsed, 50u);

    EXPECT_TRUE(!have_jq() || lines_of(jq(all, ".run_count")).size() == parsed) << "jq refused a real file's line";
}
