// The reports of real files, held against reports captured before: digests of every file in many
// option sets.
#include <sstream>

#include "test_support.h"

namespace runtrail::test {
namespace {

uint64_t fnv1a(const std::string& text) {
    uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ULL;
    return h;
}

TEST(CapturedReports, EveryRealFileInEveryOptionSetAsCaptured) {
    std::istringstream table(read_text(data_path("reports/corpus_digests.txt")));
    std::unique_ptr<report_writer> writer;
    std::string set_name, line;
    size_t files_checked = 0, sets = 0;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == "set") {
            words >> set_name;
            std::vector<std::string> options;
            for (std::string w; words >> w;) options.push_back(w);
            writer = make_report_writer(settings_of(options).report);
            ++sets;
            continue;
        }
        std::string digest;
        words >> digest;
        const loaded_file f = load_real_file(first);
        std::string out;
        writer->write(f.facts, f.record, out);
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(out)));
        EXPECT_EQ(hex, digest) << "option set " << set_name << ", " << first;
        ++files_checked;
    }
    EXPECT_EQ(files_checked, sets * real_files().size());
}

}  // namespace
}  // namespace runtrail::test
