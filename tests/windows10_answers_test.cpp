// Known answers of the Windows 10 files (MAM containers), and run times that no output form may
// lose when the eight run-time slots of a version 26/30 file are out of order. Expected values
// were read from the (decompressed) images' bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <sstream>

#include "container.h"
#include "json_check.h"
#include "prefetch_test_support.h"
#include "report_writers.h"
#include "writer_fixtures.h"
#include "writer_test_support.h"

namespace {

using slots_t = std::array<uint64_t, 8>;  // run-time slots 1..8 at 0x80..0xB8

#define SYS "\\VOLUME{01d1217a9c4c6779-8c9f49ec}"
#define DATA "\\VOLUME{01d12173f395296c-66f451bc}"

struct volume_answer {
    const char* path;
    uint32_t serial;
    uint64_t created;
    size_t dirs;
};
const volume_answer k_sys = {SYS, 0x8c9f49ec, 130922674662434681ULL, 0};
const volume_answer k_data = {DATA, 0x66f451bc, 130922646062049644ULL, 0};
volume_answer with_dirs(volume_answer v, size_t dirs) { return v.dirs = dirs, v; }

struct win10_answer {
    const char* path;
    const char* exe;
    uint32_t run_count;  // at 0xD0: every one of these has its metrics array at 0x130
    slots_t slots;       // as written: slot 1 is the latest in every one of these files
    size_t module_count;
    std::pair<uint64_t, const char*> modules[2];  // offset in the image, path
    const char* target;
    std::vector<volume_answer> volumes;
};

const std::vector<win10_answer> k_win10 = {
    {"Win10/CALC.EXE-3FBEF7FD.pf", "CALC.EXE", 2, {130970237009853304ULL, 130968655538095417ULL}, 63,
     {{0x8c80, SYS "\\WINDOWS\\SYSTEM32\\NTDLL.DLL"}, {0xada8, SYS "\\$MFT"}},
     SYS "\\WINDOWS\\SYSTEM32\\CALC.EXE", {with_dirs(k_sys, 19)}},
    {"Win10/CALCULATOR.EXE-6940BD5C.pf", "CALCULATOR.EXE", 1, {130971780249360449ULL}, 103,
     {{0x12650, SYS "\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
      {0x14452, SYS "\\PROGRAMDATA\\NVIDIA CORPORATION\\DRS\\NVDRSSEL.BIN"}},
     SYS "\\PROGRAM FILES\\WINDOWSAPPS\\MICROSOFT.WINDOWSCALCULATOR_10.1601.36020.0_X64__8WEKYB3D8BBWE\\CALCULATOR.EXE",
     {with_dirs(k_sys, 38)}},
    {"Win10/CHROME.EXE-B3BA7868.pf", "CHROME.EXE", 20,
     {130971820153344577ULL, 130971808963388424ULL, 130971802218199213ULL, 130971794150514040ULL,
      130971776592630726ULL, 130971774320529811ULL, 130971761988729609ULL, 130971758905435594ULL},
     282, {{0x123a8, SYS "\\WINDOWS\\SYSTEM32\\NTDLL.DLL"}, {0x16c6e, SYS "\\WINDOWS\\FONTS\\FRAHVIT.TTF"}},
     SYS "\\PROGRAM FILES (X86)\\GOOGLE\\CHROME\\APPLICATION\\CHROME.EXE", {with_dirs(k_sys, 23)}},
    {"Win10/CMD.EXE-D269B812.pf", "CMD.EXE", 55,
     {130971028239810694ULL, 130968665427887265ULL, 130964236484058698ULL, 130964236487268912ULL,
      130964062909356554ULL, 130964062913441634ULL, 130960717496670183ULL, 130948652615798615ULL},
     62, {{0x3a28, SYS "\\WINDOWS\\SYSTEM32\\DISKPART.EXE"}, {0x5b5c, SYS "\\WINDOWS\\SYSTEM32\\EN-US\\CMD.EXE.MUI"}},
     SYS "\\WINDOWS\\SYSTEM32\\CMD.EXE", {with_dirs(k_data, 5), with_dirs(k_sys, 4)}},
    // The header keeps 29 characters of the long name; the target path has all of it.
    {"Win10/DCODEDCODEDCODEDCODEDCODEDCOD-E65B9FE8.pf", "DCODEDCODEDCODEDCODEDCODEDCOD", 2,
     {130971988457480759ULL, 130971988412158753ULL}, 57,
     {{0x55f8, SYS "\\WINDOWS\\SYSTEM32\\NTDLL.DLL"}, {0x647e, SYS "\\WINDOWS\\SYSWOW64\\WS2_32.DLL"}},
     DATA "\\TEMP\\DCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE",
     {with_dirs(k_data, 1), with_dirs(k_sys, 19)}},
    {"Win10/DEVENV.EXE-854D7862.pf", "DEVENV.EXE", 54,
     {130971774346578416ULL, 130971001700948137ULL, 130970951015475263ULL, 130970948236532554ULL,
      130967434315519529ULL, 130965003094326910ULL, 130964145542918260ULL, 130964081489242865ULL},
     403,
     {{0x19460, SYS "\\PROGRAM FILES (X86)\\MICROSOFT VISUAL STUDIO 14.0\\COMMON7\\IDE\\"
                    "MICROSOFT.VISUALSTUDIO.CALLHIERARCHY.PACKAGE.IMPLEMENTATION.DLL"},
      {0x36258, SYS "\\USERS\\E\\APPDATA\\LOCAL\\TEMP\\DEV32D7.TMP"}},
     SYS "\\PROGRAM FILES (X86)\\MICROSOFT VISUAL STUDIO 14.0\\COMMON7\\IDE\\DEVENV.EXE", {with_dirs(k_sys, 516)}},
};

std::set<uint64_t> nonzero(const uint64_t* first, const uint64_t* last, uint64_t resolution = 1) {
    std::set<uint64_t> out;
    for (; first != last; ++first)
        if (*first) out.insert(*first - *first % resolution);
    return out;
}

}  // namespace

TEST(Windows10Answers, CompressedFilesParseToTheValuesOfTheirBytes) {
    for (const win10_answer& e : k_win10) {
        SCOPED_TRACE(e.path);
        runtrail_user_context ctx;
        ASSERT_TRUE(test_support::parse(test_support::load(e.path), ctx));  // the parser opens the container
        EXPECT_EQ(ctx.format_version, 30u);
        EXPECT_EQ(ctx.source_label, "Win10 Prefetch");
        EXPECT_EQ(ctx.exe_name, e.exe);
        EXPECT_EQ(ctx.run_count, e.run_count);
        EXPECT_EQ(ctx.last_run_time, e.slots[0]);
        EXPECT_EQ(ctx.prev_run_times, nonzero(e.slots.data() + 1, e.slots.data() + 8));
        EXPECT_EQ(ctx.modules.size(), e.module_count);
        for (const auto& [offset, module] : e.modules) {
            ASSERT_TRUE(ctx.modules.count(offset)) << std::hex << offset;
            EXPECT_EQ(ctx.modules.at(offset), module);
        }
        EXPECT_EQ(ctx.target_path, e.target);
        ASSERT_EQ(ctx.volume_paths.size(), e.volumes.size());
        ASSERT_EQ(ctx.volume_dirs.size(), e.volumes.size());
        for (size_t v = 0; v < e.volumes.size(); ++v) {
            EXPECT_EQ(ctx.volume_paths[v], e.volumes[v].path);
            EXPECT_EQ(ctx.volume_serials[v], e.volumes[v].serial);
            EXPECT_EQ(ctx.volume_times[v], e.volumes[v].created);
            EXPECT_EQ(ctx.volume_dirs[v].size(), e.volumes[v].dirs);
        }
    }
}

namespace {

constexpr uint64_t k_second = 10'000'000;                  // FILETIME units
constexpr int64_t k_unix_epoch_seconds = 11'644'473'600;  // 1601-01-01 to 1970-01-01
using lines_t = std::vector<std::string>;

// "yyyy-mm-dd hh:mm:ss.fffffff" (or the ISO form with "T" and "Z"), after any leading spaces, back
// to a FILETIME; 0 for any other shape.
uint64_t filetime_of(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    std::tm tm{};
    unsigned long long fraction = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%*1[ T]%2d:%2d:%2d.%7llu%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &fraction, &used) != 7 ||
        used != 27 || text.size() - used > 1 || (text.size() == 28 && text[27] != 'Z'))
        return 0;
    tm.tm_year -= 1900, tm.tm_mon -= 1;
    return static_cast<uint64_t>(timegm(&tm) + k_unix_epoch_seconds) * k_second + fraction;
}

struct reported_times {
    std::set<uint64_t> last, prev;  // a form must print exactly one last run time
};

// Each output form, and the run times it printed. The forms that print time texts are set to
// "hh:mm:ss.xxxxxxx", which keeps the whole 100 ns value; the body file keeps whole seconds.
struct output_form {
    const char* name;
    void (*setup)(runtrail_user_context&);
    int (*write)(std::ostream&, runtrail_user_context&);
    uint64_t resolution;
    void (*extract)(const lines_t& lines, reported_times& r);
    bool shows_label;           // prints the version label
    lines_t win11;              // texts of the Windows 11 file's report
};

#define VOL11 "VOLUME{01d5f51ea48267ca-96a49c74}"
const output_form k_forms[] = {
    {"text", [](runtrail_user_context& c) { writer_fixtures::configure(c, {.text_report = true}); }, write_text_report,
     1,
     [](const lines_t& lines, reported_times& r) {
         for (const std::string& l : lines) {
             if (l.rfind("Last run:       ", 0) == 0) r.last.insert(filetime_of(l.substr(16)));
             if (l.rfind("Prev run:       ", 0) == 0) r.prev.insert(filetime_of(l.substr(16)));
         }
     },
     false,
     {"target file:    DOCKER-CREDENTIAL-WINCRED.EXE, run 23 times\n", "vol path:     \\" VOL11 "\n",
      "time created: 2020-03-08 07:53:23.5131338\nserial num:   96a4-9c74\n"}},
    {"CSV", [](runtrail_user_context& c) { writer_fixtures::configure(c, {.verbose = true}); }, write_csv_report, 1,
     [](const lines_t& lines, reported_times& r) {
         const auto header = writer_test::split(lines.at(0), ','), row = writer_test::split(lines.at(1), ',');
         for (size_t i = 0; i < header.size() && i < row.size(); ++i) {
             if (header[i] == "last run") r.last.insert(filetime_of(row[i] + row.at(i + 1)));  // " hh:mm:..."
             if (header[i] == "previous dates run" && !row[i].empty())
                 for (const std::string& t : writer_test::split(row[i], ';')) r.prev.insert(filetime_of(t));
         }
     },
     false, {",23,", ",1,\\" VOL11 ",96a4-9c74,2020-03-08 07:53:23.5131338,26,"}},
    {"log2timeline",
     [](runtrail_user_context& c) { writer_fixtures::configure(c, {.csv = false}), writer_test::set_l2t_options(c); },
     write_l2t_report, 1,
     [](const lines_t& lines, reported_times& r) {
         for (size_t i = 1; i < lines.size(); ++i) {
             const auto f = writer_test::split(lines[i], ',');
             const uint64_t t = filetime_of(f.at(0) + f.at(1));
             if (f.at(6).find("Last Run") != std::string::npos) r.last.insert(t);
             if (f.at(6) == "Modified; Access; Run") r.prev.insert(t);
         }
     },
     true,
     {",Win11 Prefetch,", "Run count: 23 [Previous times run: ",
      "[\\" VOL11 "; 96a4-9c74; 2020-03-08 07:53:23.5131338]"}},
    {"body file",
     [](runtrail_user_context& c) { writer_fixtures::configure(c, {.csv = false}), writer_test::set_body_options(c); },
     write_body_report, k_second,
     [](const lines_t& lines, reported_times& r) {
         for (size_t i = 1; i < lines.size(); ++i) {
             const auto f = writer_test::split(lines[i], '|');
             const uint64_t t = static_cast<uint64_t>(std::stoll(f.at(9)) + k_unix_epoch_seconds) * k_second;
             (f.at(1).find("not last time run") == std::string::npos ? r.last : r.prev).insert(t);
         }
     },
     true, {"(Win11 Prefetch); run count: 23; app run: \\" VOL11 "\\PROGRAM FILES\\DOCKER\\DOCKER\\RESOURCES\\BIN\\"
            "DOCKER-CREDENTIAL-WINCRED.EXE|"}},
    {"JSON Lines", [](runtrail_user_context& c) { writer_fixtures::configure(c, {.csv = false}), c.out_jsonl = true; },
     write_jsonl_report, 1,
     [](const lines_t& lines, reported_times& r) {
         const auto doc = json_check::parse(lines.at(0));
         if (!doc || !doc->find("last_run") || !doc->find("previous_runs")) return;
         r.last.insert(filetime_of(doc->find("last_run")->text));
         for (const auto& t : doc->find("previous_runs")->items) r.prev.insert(filetime_of(t.text));
     },
     true, {"\"version_label\":\"Win11 Prefetch\"", "\"run_count\":23,",
            "{\"device_path\":\"\\\\" VOL11 "\",\"serial\":\"96a4-9c74\","
            "\"created\":\"2020-03-08T07:53:23.5131338Z\""}},
};

// One form's report of `image`, parsed as the per-file chain would; the times it printed go to `r`.
lines_t report(const output_form& form, const std::vector<uint8_t>& image, reported_times& r) {
    runtrail_user_context ctx;
    form.setup(ctx);
    ctx.time_format = "hh:mm:ss.xxxxxxx";
    writer_test::compile_formats(ctx);
    ctx.file_path = ctx.file_name = "X.pf";
    if (!parse_prefetch(image.data(), image.size(), ctx)) return {};
    ctx.prefetch_file_size = image.size();
    const uint64_t file_times[] = {writer_test::k_modified, writer_test::k_accessed, writer_test::k_changed};
    std::copy(std::begin(file_times), std::end(file_times), ctx.prefetch_file_times);
    std::ostringstream out;
    EXPECT_EQ(form.write(out, ctx), 1);
    const lines_t lines = writer_test::lines_of(out.str());
    if (!lines.empty()) form.extract(lines, r);
    return lines;
}

}  // namespace

// Windows normally keeps slot 1 as the latest run and the rest in descending order, but nothing
// guarantees it. Whatever the order, every form reports each non-zero slot, the largest as the
// last run and every other one as an earlier run.
TEST(RunTimeSlots, OutOfOrderSlotsLoseNoRunTimeInAnyOutputForm) {
    std::vector<uint8_t> v30 = test_support::load("Win10/CMD.EXE-D269B812.pf");
    ASSERT_TRUE(unwrap_container(v30));
    const std::pair<const char*, std::vector<uint8_t>> images[] = {
        {"version 26", test_support::load("Win8x/TASKHOST.EXE-3AE259FC.pf")}, {"version 30", v30}};
    const std::pair<const char*, void (*)(slots_t&)> orders[] = {
        {"as written", [](slots_t&) {}},
        {"slot 1 older than slot 3", [](slots_t& s) { std::swap(s[0], s[2]); }},
        {"latest run in slot 8", [](slots_t& s) { std::swap(s[0], s[7]); }},
        {"slot 3 repeats the latest", [](slots_t& s) { s[2] = s[0]; }},
        {"slot 1 older and repeated in slot 4", [](slots_t& s) { std::swap(s[0], s[1]), s[3] = s[0]; }},
        {"only slot 1 set", [](slots_t& s) { std::fill(s.begin() + 1, s.end(), 0); }},
    };
    for (const auto& [version, original] : images) {
        for (const auto& [order, reorder] : orders) {
            std::vector<uint8_t> image = original;
            slots_t slots;
            std::memcpy(slots.data(), image.data() + 0x80, sizeof slots);
            reorder(slots);
            std::memcpy(image.data() + 0x80, slots.data(), sizeof slots);
            for (const output_form& form : k_forms) {
                SCOPED_TRACE(std::string(version) + ", " + order + ", " + form.name);
                reported_times r;
                ASSERT_FALSE(report(form, image, r).empty());
                const uint64_t res = form.resolution;
                const uint64_t latest = *std::max_element(slots.begin(), slots.end()) / res * res;
                const std::set<uint64_t> all = nonzero(slots.data(), slots.data() + 8, res);
                EXPECT_EQ(r.last, std::set<uint64_t>{latest});
                std::set<uint64_t> reported = r.prev;
                reported.insert(latest);
                EXPECT_EQ(reported, all);
                for (uint64_t t : all) EXPECT_TRUE(t == latest || r.prev.count(t)) << t;
                // Slots in order: the earlier runs are slots 2..8, exactly as before.
                if (order == orders[0].first) {
                    EXPECT_EQ(r.prev, nonzero(slots.data() + 1, slots.data() + 8, res));
                }
            }
        }
    }
}

// Version 31 (Windows 11) is reported like version 30 in every form, under its own label.
TEST(RunTimeSlots, Version31FileInEveryOutputForm) {
    const std::vector<uint8_t> image = test_support::load("Win11/DOCKER-CREDENTIAL-WINCRED.EXE-C901200A.pf");
    const slots_t slots = {133964042345740016ULL, 133964018379668946ULL, 133964016543222246ULL,
                           133964011355339964ULL, 133963994753748421ULL, 133963990259206548ULL,
                           133963984885876177ULL, 133963983513285311ULL};  // as written, latest first
    for (const output_form& form : k_forms) {
        SCOPED_TRACE(form.name);
        reported_times r;
        const lines_t lines = report(form, image, r);
        EXPECT_EQ(r.last, std::set<uint64_t>{slots[0] / form.resolution * form.resolution});
        EXPECT_EQ(r.prev, nonzero(slots.data() + 1, slots.data() + 8, form.resolution));
        std::string all;
        for (const std::string& l : lines) all += l + "\n";
        // The text report and the CSV table have no place for the version label.
        EXPECT_EQ(all.find("Win11 Prefetch") != std::string::npos, form.shows_label);
        for (const std::string& text : form.win11) EXPECT_NE(all.find(text), std::string::npos) << text;
    }
}
