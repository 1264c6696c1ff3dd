// The whole per-file chain on arbitrary bytes: container, prefetch parser and every writer (text,
// CSV, log2timeline, body file, JSON Lines, the HTML page) in several option settings. Besides the
// sanitizers' findings, an exception escaping the chain or a report that loses its shape (a row
// with a field too many, a record broken over two lines) is a fault: the harness aborts on it. Each
// input is written in every form with one of the option settings, chosen by its length, to keep
// the rate of executions up.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "hostile_chain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<runtrail::report_settings> settings = runtrail::hostile_chain::variants();
    try {
        // Every form in one option setting.
        constexpr size_t k_forms = runtrail::hostile_chain::k_forms;
        const size_t first = size % (settings.size() / k_forms) * k_forms;
        const auto result = runtrail::hostile_chain::run({data, size}, settings, first, k_forms);
        if (!result.fault.empty()) {
            std::fprintf(stderr, "report shape fault: %s\n", result.fault.c_str());
            std::abort();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "exception escaped the chain: %s\n", e.what());
        std::abort();
    }
    return 0;
}
