#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>

#include "report_writers.h"
#include "writer_test_support.h"

using namespace writer_test;

namespace {

// Expected output for real files, written from their bytes: version, size, the last-run
// timeline line (up to and including the host column; the columns after it are the same on
// every main line, and the B, M and A lines carry the fixed file times), the earlier-run lines,
// and the body-file lines. The file-system times are the
// fixed ones of load_data_file; the Windows 10 file is read from its decompressed image.
struct real_case {
    const char* path;
    uint32_t version;
    uint64_t size;
    std::string last_run_head;
    std::string main_tail;
    std::vector<std::string> prev_lines;
    std::vector<std::string> body_lines;
};

const std::vector<real_case>& real_cases() {
    static const std::vector<real_case> cases = {
    {"XPPro/CALC.EXE-02CD573A.pf", 17, 11332,
     "2016-01-13, 22:05:51.281,UTC,..C.,PREFETCH,WinXP Prefetch,Last Run,,,",
     "CALC.EXE-02CD573A.pf [CALC.EXE executed],Module list: ACGENRAL.DLL; ADVAPI32.DLL; CALC.EXE; COMCTL32.DLL; CTYPE.NLS; GDI32.DLL; KERNEL32.DLL; LOCALE.NLS; MSACM32.DLL; MSVCRT.DLL; NTDLL.DLL; OLE32.DLL; OLEAUT32.DLL; RPCRT4.DLL; SECUR32.DLL; SHELL32.DLL; SHIMENG.DLL; SHLWAPI.DLL; SORTKEY.NLS; SORTTBLS.NLS; SYSMAIN.SDB; UNICODE.NLS; USER32.DLL; USERENV.DLL; UXTHEME.DLL; VERSION.DLL; WIN.INI; WIN32K.SYS; WINDOWSSHELL.MANIFEST; WINMM.DLL,2,XPPro/CALC.EXE-02CD573A.pf,,Run count: 3,runtrail (kelvane),Volume name; serial#; date: [\\DEVICE\\HARDDISKVOLUME1; e0f7-e847; 2016-01-13 11:17:18.718]",
     {},
     {"0|CALC.EXE-02CD573A.pf (WinXP Prefetch); run count: 3; app run: \\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CALC.EXE|0||0|0|11332|1394022956|1394022901|1452722751|1393936496"}},
    {"Win7/CALC.EXE-77FDF17F.pf", 23, 23538,
     "2016-01-16, 20:27:01.196,UTC,..C.,PREFETCH,Vista/Win7 Prefetch,Last Run,,,",
     "CALC.EXE-77FDF17F.pf [CALC.EXE executed],Module list: $MFT; ADVAPI32.DLL; APISETSCHEMA.DLL; CALC.EXE; CALC.EXE.MUI; CLBCATQ.DLL; COMCTL32.DLL; CRYPTBASE.DLL; DWMAPI.DLL; GDI32.DLL; GDIPLUS.DLL; IMM32.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; LPK.DLL; MSCTF.DLL; MSVCRT.DLL; NTDLL.DLL; OLE32.DLL; OLEACC.DLL; OLEACCRC.DLL; OLEAUT32.DLL; RPCRT4.DLL; RPCSS.DLL; SECHOST.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; STATICCACHE.DAT; USER32.DLL; USP10.DLL; UXTHEME.DLL; VERSION.DLL; WINDOWSCODECS.DLL; WINDOWSSHELL.MANIFEST; WINMM.DLL,2,Win7/CALC.EXE-77FDF17F.pf,,Run count: 2,runtrail (kelvane),Volume name; serial#; date: [\\DEVICE\\HARDDISKVOLUME2; 8800-8c2f; 2016-01-16 21:15:18.109]",
     {},
     {"0|CALC.EXE-77FDF17F.pf (Vista/Win7 Prefetch); run count: 2; app run: \\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE|0||0|0|23538|1394022956|1394022901|1452976021|1393936496"}},
    {"Win8x/CALC.EXE-77FDF17F.pf", 26, 22048,
     "2016-01-16, 21:10:26.058,UTC,..C.,PREFETCH,Win8 Prefetch,Last Run,,,",
     "CALC.EXE-77FDF17F.pf [CALC.EXE executed],Module list: $MFT; ADVAPI32.DLL; BCRYPTPRIMITIVES.DLL; CALC.EXE; CALC.EXE.MUI; CLBCATQ.DLL; COMBASE.DLL; COMCTL32.DLL; CRYPTBASE.DLL; DWMAPI.DLL; GDI32.DLL; GDIPLUS.DLL; IMM32.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MSCTF.DLL; MSVCRT.DLL; NTDLL.DLL; OLE32.DLL; OLEACC.DLL; OLEACCRC.DLL; OLEAUT32.DLL; RPCRT4.DLL; RPCSS.DLL; SECHOST.DLL; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; STATICCACHE.DAT; USER32.DLL; UXTHEME.DLL; WINDOWSCODECS.DLL; WINDOWSSHELL.MANIFEST; WINMM.DLL; WINMMBASE.DLL,2,Win8x/CALC.EXE-77FDF17F.pf,,Run count: 2 [Previous time run: 2016-01-16 21:09:41.660],runtrail (kelvane),Volume name; serial#; date: [\\DEVICE\\HARDDISKVOLUME2; c6ee-7444; 2016-01-16 22:04:54.351]",
     {"2016-01-16, 21:09:41.660,UTC,MAC.,PREFETCH,Win8 Prefetch,Modified; Access; Run,,,CALC.EXE-77FDF17F.pf [CALC.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-16 21:10:26.058,2,Win8x/CALC.EXE-77FDF17F.pf,,Not last time run  but a previous time run.,runtrail (kelvane),"},
     {"0|CALC.EXE-77FDF17F.pf (Win8 Prefetch); run count: 2; app run: \\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE|0||0|0|22048|1394022956|1394022901|1452978626|1393936496",
      "0|CALC.EXE-77FDF17F.pf (Win8 Prefetch); not last time run - but prevtime; app run: \\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE|0||0|0|22048|1452978581|1452978581|1452978581|1393936496"}},
    {"Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf", 31, 9708,
     "2025-07-07, 21:45:20.478,UTC,..C.,PREFETCH,Win11 Prefetch,Last Run,,,",
     "GLDRIVERQUERY.EXE-0EA2BF34.pf [GLDRIVERQUERY.EXE executed],Module list: ADVAPI32.DLL; C_1252.NLS; C_437.NLS; GLDRIVERQUERY.EXE; INPROCESSCLIENT32.DLL; KERNEL32.DLL; KERNELBASE.DLL; L_INTL.NLS; LOCALE.NLS; MSVCRT.DLL; NTDLL.DLL; RPCRT4.DLL; SDL2.DLL; SECHOST.DLL; UCRTBASE.DLL; USER32.DLL; VCRUNTIME140.DLL; VERSION.DLL; WOW64.DLL; WOW64BASE.DLL; WOW64CON.DLL; WOW64CPU.DLL; WOW64WIN.DLL,2,Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf,,Run count: 2 [Previous time run: 2025-07-03 18:13:55.247],runtrail (kelvane),Volume name; serial#; date: [\\VOLUME{01d5f51ea48267ca-96a49c74}; 96a4-9c74; 2020-03-08 07:53:23.513]; [\\VOLUME{01daf9c0b250fb27-84b279c8}; 84b2-79c8; 2024-08-29 03:08:18.153]",
     {"2025-07-03, 18:13:55.247,UTC,MAC.,PREFETCH,Win11 Prefetch,Modified; Access; Run,,,GLDRIVERQUERY.EXE-0EA2BF34.pf [GLDRIVERQUERY.EXE executed],Modules for last run are at record w/ same name at time: 2025-07-07 21:45:20.478,2,Win11/GLDRIVERQUERY.EXE-0EA2BF34.pf,,Not last time run  but a previous time run.,runtrail (kelvane),"},
     {"0|GLDRIVERQUERY.EXE-0EA2BF34.pf (Win11 Prefetch); run count: 2; app run: \\VOLUME{01d5f51ea48267ca-96a49c74}\\PROGRAM FILES (X86)\\STEAM\\BIN\\GLDRIVERQUERY.EXE|0||0|0|9708|1394022956|1394022901|1751924720|1393936496",
      "0|GLDRIVERQUERY.EXE-0EA2BF34.pf (Win11 Prefetch); not last time run - but prevtime; app run: \\VOLUME{01d5f51ea48267ca-96a49c74}\\PROGRAM FILES (X86)\\STEAM\\BIN\\GLDRIVERQUERY.EXE|0||0|0|9708|1751566435|1751566435|1751566435|1393936496"}},
    {"Win10/CALC.EXE-3FBEF7FD.pf", 30, 11094,
     "2016-01-11, 22:08:20.985,UTC,..C.,PREFETCH,Win10 Prefetch,Last Run,,,",
     "CALC.EXE-3FBEF7FD.pf [CALC.EXE executed],Module list: $MFT; ACTXPRXY.DLL; ADVAPI32.DLL; APPHELP.DLL; BCP47LANGS.DLL; BCRYPT.DLL; BCRYPTPRIMITIVES.DLL; CALC.EXE; CFGMGR32.DLL; CLBCATQ.DLL; COMBASE.DLL; COMCTL32.DLL; COREMESSAGING.DLL; COREUICOMPONENTS.DLL; COUNTERS.DAT; CRYPT32.DLL; DOPUSLIB.DLL; DWMAPI.DLL; EXECMODELPROXY.DLL; GDI32.DLL; IEFRAME.DLL; IERTUTIL.DLL; IMM32.DLL; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MLANG.DLL; MRMCORER.DLL; MSASN1.DLL; MSVCRT.DLL; NTDLL.DLL; OLE32.DLL; OLEAUT32.DLL; POWRPROF.DLL; PROFAPI.DLL; PROPSYS.DLL; RPCRT4.DLL; RPCSS.DLL; SECHOST.DLL; SECUR32.DLL; SHCORE.DLL; SHELL32.DLL; SHFOLDER.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SSPICLI.DLL; START10_64.DLL; TWINAPI.APPCORE.DLL; TWINUI.APPCORE.DLL; TWINUI.DLL; URLMON.DLL; USER32.DLL; UXTHEME.DLL; VERSION.DLL; WINDOWS.STORAGE.DLL; WINDOWS.STORAGE.DLL.MUI; WINDOWS.UI.DLL; WINDOWS.UI.IMMERSIVE.DLL; WINDOWSSHELL.MANIFEST; WININET.DLL; WINTYPES.DLL; WTSAPI32.DLL,2,Win10/CALC.EXE-3FBEF7FD.pf,,Run count: 2 [Previous time run: 2016-01-10 02:12:33.809],runtrail (kelvane),Volume name; serial#; date: [\\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]",
     {"2016-01-10, 02:12:33.809,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,CALC.EXE-3FBEF7FD.pf [CALC.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-11 22:08:20.985,2,Win10/CALC.EXE-3FBEF7FD.pf,,Not last time run  but a previous time run.,runtrail (kelvane),"},
     {"0|CALC.EXE-3FBEF7FD.pf (Win10 Prefetch); run count: 2; app run: \\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\CALC.EXE|0||0|0|11094|1394022956|1394022901|1452550100|1393936496",
      "0|CALC.EXE-3FBEF7FD.pf (Win10 Prefetch); not last time run - but prevtime; app run: \\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\CALC.EXE|0||0|0|11094|1452391953|1452391953|1452391953|1393936496"}},
    };
    return cases;
}

std::string write_with(int (*writer)(std::ostream&, runtrail_user_context&), runtrail_user_context& ctx) {
    std::ostringstream out;
    EXPECT_EQ(writer(out, ctx), 1);
    return out.str();
}

std::string run_command_output(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// mactime's date text: "Wed Mar 05 2014 12:34:56" (UTC with -z UTC).
std::string mactime_date(uint64_t filetime) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto& st = qn::time(static_cast<int64_t>(filetime), qn::type_filetime).systemtime;
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02u %04u %02u:%02u:%02u", days[st.day_of_week % 7],
                  months[(st.month + 11) % 12], unsigned{st.day}, unsigned{st.year}, unsigned{st.hour},
                  unsigned{st.minute}, unsigned{st.second});
    return text;
}

}  // namespace

TEST(TimelineRealFiles, EachVersionThroughLog2timelineCsvAndBodyFile) {
    for (const auto& c : real_cases()) {
        SCOPED_TRACE(c.path);
        runtrail_user_context ctx;
        ctx.program_name = "runtrail";
        set_l2t_options(ctx);
        ctx.header_pending = false;
        ASSERT_TRUE(load_data_file(ctx, c.path));
        EXPECT_EQ(ctx.format_version, c.version);
        EXPECT_EQ(ctx.prefetch_file_size, c.size);
        const std::string label = ",PREFETCH," + ctx.source_label + ",";
        std::vector<std::string> expected = {"2014-03-04, 12:34:56.789,UTC,...B" + label + "Created,,,",
                                             "2014-03-05, 12:35:01.889,UTC,M..." + label + "Last Modified,,,",
                                             "2014-03-05, 12:35:56.789,UTC,.A.." + label + "Last Access,,,",
                                             c.last_run_head};
        for (auto& head : expected) head += c.main_tail;
        expected.insert(expected.end(), c.prev_lines.begin(), c.prev_lines.end());
        EXPECT_EQ(lines_of(write_with(write_l2t_report, ctx)), expected);
        set_body_options(ctx);
        ctx.header_pending = false;
        EXPECT_EQ(lines_of(write_with(write_body_report, ctx)), c.body_lines);
    }
}

// The body file of every test file goes through sleuthkit's mactime; every run time of every
// file must come out at its second, as a changed ("c") time of that file.
TEST(TimelineRealFiles, MactimeReadsEveryRunTimeOfEveryFile) {
    if (std::system("command -v mactime >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sleuthkit's mactime is not installed (.ci/install-test-tools installs it)";
    // Expected: per "<file name> (<label>)", the mactime date of each run time that has Unix seconds.
    std::set<std::pair<std::string, std::string>> expected;
    std::string names;
    size_t parsed = 0;
    for (const auto& path : data_files()) {
        names += path.string() + "\n";
        runtrail_user_context ctx;
        if (!load_data_file(ctx, std::filesystem::relative(path, RUNTRAIL_TEST_DATA).string())) continue;
        ++parsed;
        std::set<uint64_t> runs = ctx.prev_run_times;
        runs.insert(ctx.last_run_time);
        for (uint64_t t : runs)
            if (qn::time(static_cast<int64_t>(t), qn::type_filetime).valid && t >= 116444736010000000ULL)
                expected.emplace(mactime_date(t), ctx.file_name + " (" + ctx.source_label + ")");
    }
    ASSERT_GE(parsed, 50u);
    ASSERT_GE(expected.size(), 50u);

    const std::string list_path = ::testing::TempDir() + "runtrail_body_names.txt";
    const std::string body_path = ::testing::TempDir() + "runtrail_all.body";
    std::ofstream(list_path) << names;
    const std::string body = run_command_output(quoted(RUNTRAIL_BINARY) + " -bodyfile -pipe -quiet < " +
                                                quoted(list_path) + " 2>/dev/null");
    ASSERT_NE(body.find("|0||0|0|"), std::string::npos);
    std::ofstream(body_path, std::ios::binary) << body;
    const auto lines = lines_of(run_command_output("mactime -b " + quoted(body_path) + " -z UTC -d 2>&1"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Date,Size,Type,Mode,UID,GID,Meta,File Name");
    std::set<std::pair<std::string, std::string>> changed;  // (date text, name) of every changed-time entry
    std::string date;
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto fields = split(lines[i], ',');
        ASSERT_GE(fields.size(), 8u) << lines[i];
        if (!fields[0].empty()) date = fields[0];
        if (fields[2].size() != 4 || fields[2][2] != 'c') continue;
        const auto name_at = lines[i].find(",\"");
        const auto label_end = lines[i].find(");", name_at);
        ASSERT_TRUE(name_at != std::string::npos && label_end != std::string::npos) << lines[i];
        changed.emplace(date, lines[i].substr(name_at + 2, label_end + 1 - name_at - 2));
    }
    for (const auto& entry : expected)
        EXPECT_TRUE(changed.count(entry)) << entry.second << " run at " << entry.first;
    std::remove(list_path.c_str());
    std::remove(body_path.c_str());
}
