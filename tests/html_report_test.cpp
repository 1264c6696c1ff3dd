// -html: the page's parts as the writer puts them out, its safety against names chosen by an
// attacker, the bounded static timeline, and whole pages made by the program.
#include <cstdlib>
#include <memory>

#include "html_report.h"
#include "html_timeline.h"
#include "test_support.h"

namespace runtrail::test {
namespace {

// A page without its identification lines, which echo the command line.
std::string without_identification(const std::string& page) {
    const size_t start = page.find("<pre class=\"ident\">"), end = page.find("</pre>");
    return start == std::string::npos || end == std::string::npos ? page : page.substr(0, start) + page.substr(end);
}

// The text between the first `from` and the next `to` after it.
std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const size_t start = text.find(from);
    if (start == std::string::npos) return {};
    const size_t end = text.find(to, start + from.size());
    return text.substr(start + from.size(), end == std::string::npos ? std::string::npos : end - start - from.size());
}

TEST(HtmlPage, CalcRunTwiceGivesItsRowTimesAndMarks) {
    const std::string page = page_of({load_real_file("Win8x/CALC.EXE-77FDF17F.pf")}, {"-html", "-hashcheck"}, {1, 0});
    // Times read from the file's bytes: last run 2016-01-16 21:10:26.0583417, the one before 21:09:41.660.
    EXPECT_TRUE(has(page, "<tr id=\"f0\" data-r=\"1452978581660,1452978626058\"><td class=\"prog\">CALC.EXE</td>"
                          "<td class=\"num\" data-v=\"2\">2</td><td data-v=\"1452978626058\">2016-01-16 21:10:26.058</td>"
                          "<td data-v=\"1452978581660\">2016-01-16 21:09:41.660</td>"));
    EXPECT_TRUE(has(page, "<td>name and path match</td><td class=\"serial\">c6ee-7444</td>"));
    const std::string picture = between(page, "<svg id=\"tl-static\"", "</svg>");
    EXPECT_EQ(count_of(picture, "<rect class=\"m"), 2u);
    EXPECT_TRUE(has(picture, "<title>2016-01-16 21:10:26.058 UTC CALC.EXE (last run)</title>"));
    EXPECT_TRUE(has(picture, "<title>2016-01-16 21:09:41.660 UTC CALC.EXE</title>"));
    EXPECT_TRUE(has(page, "1 file reported, 0 skipped. Stored run times from <time>2016-01-16 21:09:41.660</time> to "
                          "<time>2016-01-16 21:10:26.058</time> UTC."));
    EXPECT_EQ(page.substr(page.size() - 15), "</body></html>\n");
}

TEST(HtmlPage, NamesSharedAcrossFilesGoOutOnceAndAreReferredToByNumber) {
    const loaded_file win7 = load_real_file("Win7/CMD.EXE-4A81B364.pf");
    const loaded_file win8 = load_real_file("Win8x/CMD.EXE-4A81B364.pf");
    const std::string page = page_of({win7, win7, win8});
    EXPECT_EQ(count_of(page, "<tr id=\"f"), 3u);
    // The second copy names nothing new (no name block before its row) and refers to the same numbers.
    EXPECT_EQ(count_of(between(page, "<tr id=\"f0\"", "<tr id=\"f1\""), "class=\"rt-s\""), 0u);
    EXPECT_EQ(count_of(between(page, "<tr id=\"f1\"", "<tr id=\"f2\""), "class=\"rt-s\""), 1u);
    const std::string first_block = between(page, "class=\"rt-f\">", "</script>");
    EXPECT_EQ(first_block, between(page.substr(page.find("<tr id=\"f1\"")), "class=\"rt-f\">", "</script>"));
    // Every module and directory of the Windows 7 file stands once in the page.
    for (const std::string& module : win7.record.modules) {
        std::string json;
        for (const char c : module) json += c == '\\' ? std::string("\\\\") : std::string(1, c);
        EXPECT_EQ(count_of(page, '"' + json + '"'), 1u) << module;
    }
    EXPECT_TRUE(has(first_block, "\"m\":[0,1,2,"));
}

TEST(HtmlPage, RowsGoOutInPartsOf250EachWithTheHeadersColumns) {
    // The header's columns and those of every part must agree, or the columns stop lining up;
    // -hashcheck and image runs add columns.
    loaded_file f = load_real_file("Win7/CALC.EXE-77FDF17F.pf");
    f.facts.from_image = true;
    for (const size_t files : {250u, 251u, 501u}) {
        const std::string page = page_of(std::vector<loaded_file>(files, f), {"-html", "-hashcheck"});
        std::vector<std::string> parts;
        for (size_t at = page.find("<div class=\"part\">"); at != std::string::npos; at = page.find("<div class=\"part\">", at + 1))
            parts.push_back(between(page.substr(at), "<div class=\"part\">", "</div>"));
        ASSERT_EQ(parts.size(), (files + 249) / 250) << files;
        EXPECT_EQ(count_of(parts.front(), "<tr id="), 250u);
        EXPECT_EQ(count_of(parts.back(), "<tr id="), files % 250 ? files % 250 : 250);
        EXPECT_EQ(count_of(parts.back(), "</tbody></table>"), 1u);
        const std::string head = between(page, "<table class=\"head\">", "</table>");
        EXPECT_EQ(count_of(head, "<th>"), 10u);
        EXPECT_EQ(count_of(head, "<col "), 10u);
        for (const std::string& part : parts) EXPECT_EQ(between(part, "<table>", "<tbody>"), between(head, "", "<thead>"));
    }
    EXPECT_EQ(page_of({}).find("class=\"part\""), std::string::npos);  // no row, no part
}

TEST(HtmlPage, ModulesCarryTheirFileReferencesOnlyWhenTheFileStoresThem) {
    // Windows 10 files store an NTFS file reference per module; the first of this one is entry
    // 357876, sequence 1. Windows XP and Server 2003 files store none.
    const loaded_file win10 = load_real_file("Win10/CALC.EXE-3FBEF7FD.pf");
    ASSERT_EQ(win10.record.module_references.size(), win10.record.modules.size());
    const std::string page = page_of({win10, load_real_file("Win2k3/CMD.EXE-087B4001.pf")});
    const std::string references = between(page, "\"f\":[", "]");
    EXPECT_EQ(references.rfind("\"357876-1\",", 0), 0u) << references;
    EXPECT_EQ(count_of(references, ",") + 1, win10.record.modules.size());
    EXPECT_EQ(count_of(page, "\"f\":["), 1u);
}

TEST(HtmlPage, NamesMadeToRunScriptStayText) {
    loaded_file f = load_real_file("Win7/CMD.EXE-4A81B364.pf");
    f.record.exe_name = "<script>alert(1)</script>";
    f.record.target_path = "\"><img src=x onerror=alert(1)>";
    f.record.modules[0] = "</script><script>alert(2)</script><!--";
    f.record.volumes[0].directories[0] = "\x1e" "T\tR\x1b[2J\nS";
    f.facts.name = "'\"><svg onload=alert(3)>.pf";
    f.facts.path = "cases/" + f.facts.name;
    const std::string page = page_of({f});
    // The table's cells and the absence of injected elements are checked in a browser
    // (HtmlInBrowser.NamesCarryingMarkupShowAsTextAndRunNothing); here the raw bytes.
    EXPECT_EQ(count_of(page, "<script"), 3u);  // the names block, the file's block, the page's script
    EXPECT_TRUE(has(page, "title=\"cases/&#39;&quot;&gt;&lt;svg onload=alert(3)&gt;.pf\""));
    EXPECT_TRUE(has(page, "\"\\u003c/script>\\u003cscript>alert(2)\\u003c/script>\\u003c!--\""));
    // Control codes as in the other forms, and none that could break the pending form.
    EXPECT_TRUE(has(page, "\"[0x1E]T[0x09]R[0x1B][2J[LF]S\""));
    EXPECT_TRUE(has(page, "<text class=\"name\" x=\"236\" y=\"44\">&lt;script&gt;alert(1)&lt;/script&gt;</text>"));
}

TEST(HtmlPage, ImageRunsShowDeletedAndCreatedAndOtherRunsDoNot) {
    loaded_file f = load_real_file("Win7/CALC.EXE-77FDF17F.pf");
    EXPECT_EQ(page_of({f}).find("<th>Deleted</th>"), std::string::npos);
    f.facts.from_image = true;
    f.facts.deleted = true;
    f.facts.created = 130985424000000000ULL;  // 2016-01-29 12:00:00
    f.facts.mft_entry = 4711;
    loaded_file kept = f;
    kept.facts.deleted = false;
    const std::string page = page_of({f, kept});
    EXPECT_TRUE(has(page, "<th>Prefetch file</th><th>Deleted</th><th>Created</th></tr>"));
    EXPECT_TRUE(has(page, "<td class=\"deleted\">deleted</td><td data-v=\"1454068800000\">2016-01-29 12:00:00.000</td></tr>"));
    EXPECT_TRUE(has(page, "<td>no</td><td data-v=\"1454068800000\">2016-01-29 12:00:00.000</td></tr>"));
}

TEST(HtmlPage, StaticTimelineKeepsTheProgramsRunMostRecently) {
    static_timeline timeline;
    const size_t rows = static_timeline::k_most_rows + 1;
    for (size_t i = 0; i < rows; ++i)
        timeline.add({"P" + std::to_string(i), {1'000'000'000'000 + int64_t(i) * 60'000}, 1'000'000'000'000 + int64_t(i) * 60'000, i});
    timeline.add({"NEVER", {}, INT64_MIN, rows});  // no run time: nothing to draw
    std::string picture;
    timeline.draw(picture);
    EXPECT_EQ(count_of(picture, "<g class=\"row\">"), static_timeline::k_most_rows);
    EXPECT_EQ(picture.find(">P0<"), std::string::npos);  // the least recent left out
    EXPECT_LT(picture.find(">P500<"), picture.find(">P1<"));  // the most recent first
    EXPECT_TRUE(has(picture, "the 500 programs run most recently of 501"));
}

TEST(HtmlPage, PagesFromTheProgramAreTheSameAtEveryThreadCountAndCloseEvenWhenNothingIsReported) {
    const scratch_dir dir;
    ::setenv("SOURCE_DATE_EPOCH", "1800000000", 1);
    std::vector<std::string> args = {"-enumdir", RUNTRAIL_TEST_DATA, "-num_subdirs", "2", "-html", "-quiet", "-threads", "1"};
    const tool_result one = run_tool(args, "", dir.path);
    EXPECT_TRUE(has(one.out, "Made <time>2027-01-15 08:00:00 UTC</time>"));
    EXPECT_EQ(one.out.rfind("<!DOCTYPE html>", 0), 0u);
    for (const char* threads : {"2", "5"}) {
        args.back() = threads;
        const tool_result many = run_tool(args, "", dir.path);
        EXPECT_TRUE(without_identification(many.out) == without_identification(one.out)) << "-threads " << threads;
    }

    const tool_result none = run_tool({data_path("Bad/notAPrefetch.pf"), "-html"}, "", dir.path);
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(none.status, 255);
    EXPECT_EQ(none.out.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_TRUE(has(none.out, "0 files reported, 1 skipped."));
    EXPECT_TRUE(has(none.out, "No stored run time to draw."));
    EXPECT_EQ(none.out.substr(none.out.size() - 15), "</body></html>\n");
}

}  // namespace
}  // namespace runtrail::test
