// -html in a real browser: Chromium, headless, loads pages made from tests/data and gives back the
// document after the page's script has run (or a screenshot). The page's address fragment applies
// a filter, a sort, a time range or opens a file's details on load, so each interaction is one
// load. Without Chromium every test here skips with a message; CI installs it.
#include <cstdlib>
#include <memory>

#include "filetime.h"
#include "html_report.h"
#include "test_support.h"

namespace runtrail::test {
namespace {

std::string chromium() {
    for (const char* name : {"chromium", "chromium-browser"})
        if (have(name)) return name;
    return {};
}

struct browser_result {
    std::string dom, log;
};

// Chromium on file://page#fragment, its standard output and error captured; `action` is
// "--dump-dom" or "--screenshot=FILE".
browser_result in_browser(const std::string& page, const std::string& fragment, const std::string& action,
                          const scratch_dir& dir) {
    static int profile = 0;
    const std::string out = dir / "dom.html", err = dir / "log.txt";
    const std::string command =
        "timeout 120 " + chromium() + " --headless --no-sandbox --disable-gpu --disable-background-networking"
        " --disable-component-update --disable-sync --no-first-run --user-data-dir='" + dir / ("profile" + std::to_string(++profile)) +
        "' --enable-logging=stderr --v=0 --hide-scrollbars --window-size=1280,900 '" + action + "' 'file://" + page +
        (fragment.empty() ? "" : "#" + fragment) + "' > '" + out + "' 2> '" + err + "'";
    [[maybe_unused]] const int status = std::system(command.c_str());
    return {read_text(out), read_text(err)};
}

// What must hold after every load: the script ran to its end, with no error and no blocked content.
void expect_clean_load(const browser_result& r) {
    EXPECT_TRUE(has(r.dom, "data-ready=\"yes\"")) << r.log;
    EXPECT_TRUE(has(r.dom, "<pre id=\"rt-errors\" hidden=\"\"></pre>"));
    EXPECT_EQ(r.log.find("Uncaught"), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("Content Security Policy"), std::string::npos) << r.log;
}

// The table rows of a dumped document: whether each is shown, and its run count.
struct shown_row {
    bool hidden;
    long runs;
};
std::vector<shown_row> table_rows(const std::string& dom) {
    std::vector<shown_row> rows;
    for (size_t at = dom.find("<tr id=\"f"); at != std::string::npos; at = dom.find("<tr id=\"f", at + 1)) {
        const size_t tag_end = dom.find('>', at);
        const size_t runs = dom.find("data-v=\"", tag_end);
        rows.push_back({dom.substr(at, tag_end - at).find("hidden") != std::string::npos,
                        std::strtol(dom.c_str() + runs + 8, nullptr, 10)});
    }
    return rows;
}

size_t valid_run_times(const prefetch_record& record, int64_t from = INT64_MIN, int64_t to = INT64_MAX) {
    size_t n = 0;
    std::vector<uint64_t> times = record.earlier_runs;
    times.push_back(record.last_run);
    for (const uint64_t t : times) {
        if (!printable_time(t)) continue;
        const int64_t ms = (static_cast<int64_t>(t) - static_cast<int64_t>(k_filetime_of_unix_epoch)) / 10000;
        n += ms >= from && ms <= to;
    }
    return n;
}

class HtmlInBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        if (chromium().empty()) GTEST_SKIP() << "SKIPPED: chromium is not installed; the page was not tried in a browser";
    }
    scratch_dir dir;
};

TEST_F(HtmlInBrowser, TableHoldsEveryFileAndTimelineOneMarkPerStoredRunTime) {
    // Five copies of every sample: more rows than one part of the table holds, so that sorting
    // has to carry rows across parts.
    const std::string page = dir / "r.html";
    std::string names;
    size_t marks = 0;
    std::vector<loaded_file> files;
    for (int copy = 0; copy < 5; ++copy) {
        for (const std::string& name : real_files()) {
            files.push_back(load_real_file(name));
            names += data_path(name) + "\n";
        }
    }
    ASSERT_GT(files.size(), 250u);
    ASSERT_EQ(run_tool({"-pipe", "-html", "-out", page, "-quiet"}, names).status, 0);
    for (const loaded_file& f : files) marks += valid_run_times(f.record);

    const browser_result all = in_browser(page, "", "--dump-dom", dir);
    expect_clean_load(all);
    EXPECT_EQ(table_rows(all.dom).size(), files.size());
    EXPECT_EQ(all.dom.find("tl-static"), std::string::npos);  // the script drew its own timeline
    EXPECT_TRUE(has(all.dom, "data-marks=\"" + std::to_string(marks) + "\""));
    EXPECT_EQ(count_of(all.dom, "<rect class=\"m"), marks);
    EXPECT_EQ(count_of(all.dom, "<rect class=\"m last\""), files.size());  // every sample has a last run

    // Filtered and sorted by run count, most first: the table and the timeline narrow together.
    const size_t calc = static_cast<size_t>(std::count_if(files.begin(), files.end(), [](const loaded_file& f) {
        std::string text = f.record.exe_name + f.record.target_path + f.facts.name;
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text.find("calc") != std::string::npos;
    }));
    const browser_result filtered = in_browser(page, "filter=calc&sort=1&desc=1", "--dump-dom", dir);
    expect_clean_load(filtered);
    const std::vector<shown_row> rows = table_rows(filtered.dom);
    ASSERT_EQ(rows.size(), files.size());
    EXPECT_EQ(static_cast<size_t>(std::count_if(rows.begin(), rows.end(), [](const shown_row& r) { return !r.hidden; })), calc);
    EXPECT_EQ(count_of(filtered.dom, "<g class=\"row\""), calc);
    EXPECT_TRUE(has(filtered.dom, std::to_string(calc) + " of " + std::to_string(files.size()) + " files"));
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const shown_row& a, const shown_row& b) { return a.runs > b.runs; }));
    EXPECT_TRUE(has(filtered.dom, "aria-sort=\"descending\">Runs"));

    // A time range: only the marks within it. The range is the Windows 8 CALC.EXE's two runs.
    const int64_t from = 1452978581660, to = 1452978626058;
    size_t in_range = 0;
    for (const loaded_file& f : files) in_range += valid_run_times(f.record, from, to);
    ASSERT_GE(in_range, 2u);
    const browser_result narrowed =
        in_browser(page, "from=" + std::to_string(from) + "&to=" + std::to_string(to), "--dump-dom", dir);
    expect_clean_load(narrowed);
    EXPECT_EQ(count_of(narrowed.dom, "<rect class=\"m"), in_range);
    EXPECT_TRUE(has(narrowed.dom, "<title>2016-01-16 21:10:26.058 UTC CALC.EXE (last run)</title>"));
}

TEST_F(HtmlInBrowser, DetailsListEveryRunTimeModuleAndDirectory) {
    const loaded_file calc = load_real_file("Win8x/CALC.EXE-77FDF17F.pf");
    const std::string page = dir / "one.html";
    ASSERT_EQ(run_tool({data_path("Win8x/CALC.EXE-77FDF17F.pf"), "-html", "-out", page}).status, 0);
    size_t directories = 0;
    for (const volume_record& v : calc.record.volumes) directories += v.directories.size();
    const browser_result r = in_browser(page, "details=0&order=name", "--dump-dom", dir);
    expect_clean_load(r);
    EXPECT_TRUE(has(r.dom, "<h2>Details: CALC.EXE</h2>"));
    EXPECT_TRUE(has(r.dom, "<h3>Run times (2)</h3>"));
    EXPECT_TRUE(has(r.dom, "<li>2016-01-16 21:10:26.058  last run</li><li>2016-01-16 21:09:41.660</li>"));
    EXPECT_TRUE(has(r.dom, "<h3>Modules (" + std::to_string(calc.record.modules.size()) + ")</h3>"));
    EXPECT_TRUE(has(r.dom, "<h3>Directories (" + std::to_string(directories) + ")</h3>"));
    EXPECT_TRUE(has(r.dom, "<li>\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE"));

    // A Windows 10 file's modules show their NTFS file references.
    ASSERT_EQ(run_tool({data_path("Win10/CALC.EXE-3FBEF7FD.pf"), "-html", "-out", page}).status, 0);
    const browser_result win10 = in_browser(page, "details=0", "--dump-dom", dir);
    expect_clean_load(win10);
    EXPECT_TRUE(has(win10.dom, "NTDLL.DLL  [MFT entry-sequence 357876-1]</li>"));
}

TEST_F(HtmlInBrowser, NamesCarryingMarkupShowAsTextAndRunNothing) {
    loaded_file f = load_real_file("Win7/CMD.EXE-4A81B364.pf");
    f.record.exe_name = "<script>document.title='x'</script>";
    f.record.target_path = "\"><img src=x onerror=\"document.title='y'\">";
    f.record.modules[0] = "</script><script>document.title='z'</script>";
    f.record.volumes[0].directories[0] = "<img src=x onerror=document.title='w'>";
    f.facts.name = "'\"><svg onload=document.title='v'>.pf";
    const std::string page = dir / "hostile.html";
    write_file(page, page_of({f}, {"-html"}, {1, 0}));

    for (const char* fragment : {"", "details=0"}) {
        const browser_result r = in_browser(page, fragment, "--dump-dom", dir);
        expect_clean_load(r);
        EXPECT_TRUE(has(r.dom, "<title>runtrail prefetch report</title>"));  // no script retitled it
        EXPECT_EQ(r.dom.find("<img"), std::string::npos);
        EXPECT_EQ(r.dom.find("<svg onload"), std::string::npos);
        EXPECT_TRUE(has(r.dom, "<td class=\"prog\">&lt;script&gt;document.title='x'&lt;/script&gt;</td>"));
        EXPECT_TRUE(has(r.dom, "&gt;&lt;img src=x onerror=\"document.title='y'\"&gt;</td>"));
    }
    const browser_result details = in_browser(page, "details=0", "--dump-dom", dir);
    EXPECT_TRUE(has(details.dom, "<li>&lt;/script&gt;&lt;script&gt;document.title='z'&lt;/script&gt;  [MFT entry-sequence "));
    EXPECT_TRUE(has(details.dom, "<li>&lt;img src=x onerror=document.title='w'&gt;</li>"));
}

TEST_F(HtmlInBrowser, ScreenshotShowsThePage) {
    const std::string page = dir / "r.html";
    run_tool({"-enumdir", RUNTRAIL_TEST_DATA, "-num_subdirs", "2", "-html", "-out", page, "-quiet"});
    const std::string shot = dir / "shot.png";
    in_browser(page, "", "--screenshot=" + shot, dir);
    const std::string png = read_text(shot);
    ASSERT_GT(png.size(), 20000u);  // a blank page of this size compresses to far less
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
}

}  // namespace
}  // namespace runtrail::test
