// Shared by the tests: the real files of tests/data, the per-file chain with pinned file times,
// little-endian edits of test images, and runs of the built program.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "options.h"
#include "prefetch_file.h"
#include "prefetch_parser.h"
#include "report_writer.h"

namespace runtrail::test {

namespace fs = std::filesystem;

// Built under AddressSanitizer or ThreadSanitizer: much slower, and with huge address space reserved.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool k_sanitized = true;
#elif defined(__has_feature)
constexpr bool k_sanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool k_sanitized = false;
#endif

inline std::string data_path(const std::string& relative) { return std::string(RUNTRAIL_TEST_DATA) + "/" + relative; }

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::vector<uint8_t> read_bytes(const std::string& path) {
    const std::string text = read_text(path);
    return {text.begin(), text.end()};
}
inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every real prefetch file of tests/data (relative paths, sorted), the one that is not one left out.
inline std::vector<std::string> real_files() {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(RUNTRAIL_TEST_DATA))
        if (e.path().extension() == ".pf" && e.path().parent_path().filename() != "Bad")
            files.push_back(fs::relative(e.path(), RUNTRAIL_TEST_DATA).string());
    std::sort(files.begin(), files.end());
    return files;
}

struct loaded_file {
    load_result result = load_result::unreadable;
    file_facts facts;
    prefetch_record record;
};

// A file of tests/data through the per-file chain, its facts named by its relative path and its
// file-system times pinned, as if copied at known moments (the copy on disk has times of its own,
// which differ from machine to machine).
inline loaded_file load_real_file(const std::string& relative) {
    static prefetch_file_buffers buffers;
    loaded_file f;
    f.result = load_prefetch_file(data_path(relative), buffers, f.facts, f.record);
    f.facts.path = relative;
    f.facts.name = file_name_of(relative);
    f.facts.modified = 132593079671234567ULL;  // 2021-03-04 05:06:07.1234567
    f.facts.accessed = 132962944899876543ULL;  // 2022-05-06 07:08:09.9876543
    f.facts.changed = 133332810115000000ULL;   // 2023-07-08 09:10:11.5
    return f;
}

// The settings a command line gives ("x.pf" is added unless the options name their own input).
inline run_settings settings_of(std::vector<std::string> options) {
    options.insert(options.begin(), "runtrail");
    if (std::find(options.begin(), options.end(), "-pipe") == options.end() &&
        std::find(options.begin(), options.end(), "-enumdir") == options.end())
        options.push_back("x.pf");
    const command_line parsed = parse_command_line(options);
    EXPECT_EQ(parsed.result, command_line::outcome::run) << parsed.error;
    return parsed.settings;
}

// The record of an image (its first `length` bytes), or nothing when the parser rejects it.
inline std::optional<prefetch_record> parsed(const std::vector<uint8_t>& image, size_t length = SIZE_MAX) {
    prefetch_record record;
    if (!parse_prefetch_image({image.data(), std::min(length, image.size())}, record)) return std::nullopt;
    return record;
}

// How many times `part` stands in `text` (overlapping places counted).
inline size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Whether `part` stands in `text`; when not, the failure shows the text's start.
inline testing::AssertionResult has(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text.substr(0, 2000);
}

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A member of a one-line JSON object as written (a text without its quotes); "absent" when there is none.
inline std::string json_member(const std::string& object, const std::string& name) {
    const size_t at = object.find("\"" + name + "\":");
    if (at == std::string::npos) return "absent";
    const size_t start = at + name.size() + 3;
    if (object[start] == '"') return object.substr(start + 1, object.find('"', start + 1) - start - 1);
    return object.substr(start, object.find_first_of(",}", start) - start);
}

// The report of one file in the form the options give.
inline std::string report_of(const std::vector<std::string>& options, const file_facts& facts,
                             const prefetch_record& record) {
    std::string out;
    make_report_writer(settings_of(options).report)->write(facts, record, out);
    return out;
}
inline std::string report_of(const std::vector<std::string>& options, const loaded_file& f) {
    return report_of(options, f.facts, f.record);
}

// The report without its header block, whose command echo line names the thread count.
inline std::string without_header_block(const std::string& out) {
    if (out.rfind("runtrail ", 0) != 0) return out;  // the JSON forms have none
    const size_t echo_end = out.find('\n', out.find('\n') + 1);
    return echo_end == std::string::npos ? "" : out.substr(echo_end + 1);
}

// The page an -html writer makes of these files, as the run puts it out.
inline std::string page_of(const std::vector<loaded_file>& files, const std::vector<std::string>& options = {"-html"},
                           run_totals totals = {}) {
    const std::unique_ptr<report_writer> writer = make_report_writer(settings_of(options).report);
    std::string page;
    for (const loaded_file& f : files) {
        std::string report;
        writer->write(f.facts, f.record, report);
        writer->put_in_order(report);
        page += report;
    }
    writer->finish(totals, page);
    return page;
}

// Whether a program of that name is on the PATH.
inline bool have(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null").c_str()) == 0;
}

// Little-endian writes into a test image.
template <typename T>
void put(std::vector<uint8_t>& image, size_t at, T value) {
    ASSERT_LE(at + sizeof(T), image.size()) << "test image write past its end";
    std::memcpy(image.data() + at, &value, sizeof(T));
}

struct tool_result {
    int status = -1;
    std::string out, err;
    size_t peak_memory = 0;  // the run's largest resident set, in bytes
};

// A directory of its own for one test, removed with it.
struct scratch_dir {
    std::string path;
    scratch_dir() {
        std::string pattern = (fs::temp_directory_path() / "runtrail_testXXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~scratch_dir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// In a forked child: becomes the built program with `args`.
[[noreturn]] inline void exec_tool(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(RUNTRAIL_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(RUNTRAIL_BINARY, argv.data());
    _exit(127);
}

// The built program with `args`, `input` on standard input; standard output and error captured
// through files in `work` (a directory that exists; by default one of the run's own); its address
// space limited to `address_space_limit` bytes when that is not 0.
inline tool_result run_tool(const std::vector<std::string>& args, const std::string& input = "",
                            std::string work = "", rlim_t address_space_limit = 0) {
    const std::optional<scratch_dir> own = work.empty() ? std::optional<scratch_dir>(std::in_place) : std::nullopt;
    if (own) work = own->path;
    const std::string in_path = work + "/rt_stdin", out_path = work + "/rt_stdout", err_path = work + "/rt_stderr";
    write_file(in_path, input);
    const pid_t child = fork();
    if (child == 0) {
        dup2(open(in_path.c_str(), O_RDONLY), 0);
        dup2(open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (address_space_limit != 0) {
            const rlimit limit{address_space_limit, address_space_limit};
            setrlimit(RLIMIT_AS, &limit);
        }
        exec_tool(args);
    }
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    tool_result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(out_path), read_text(err_path),
                  static_cast<size_t>(usage.ru_maxrss) * 1024};
    fs::remove(in_path), fs::remove(out_path), fs::remove(err_path);
    return r;
}

}  // namespace runtrail::test
