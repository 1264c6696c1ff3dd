// Decompression throughput, reported as decoded output bytes per second: the real Windows 10
// (and Windows 11 "MAM") prefetch files one by one and together, and a synthetic stream of
// several MiB made of real prefetch images.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "container.h"
#include "xpress_test_encoder.h"

namespace {

const char* const k_files[] = {
    "Win10/CALC.EXE-3FBEF7FD.pf",
    "Win10/CALCULATOR.EXE-6940BD5C.pf",
    "Win10/CHROME.EXE-B3BA7868.pf",
    "Win10/CMD.EXE-D269B812.pf",
    "Win10/DCODEDCODEDCODEDCODEDCODEDCOD-E65B9FE8.pf",
    "Win10/DEVENV.EXE-854D7862.pf",
    "Win11/103.0.5060.66_101.0.4951.67_C-5721700C.pf",
    "Win11/AM_BASE.EXE-3F70DC95.pf",
};
constexpr size_t k_win10_files = 6;

std::vector<uint8_t> read_data(const std::string& rel) {
    std::ifstream f(std::string(RUNTRAIL_TEST_DATA) + "/" + rel, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// One decode as the per-file step does it: the run's decoder and image buffer, reused.
size_t decode_once(const std::vector<uint8_t>& file) {
    static runtrail::xpress_huffman_decoder decoder;
    static std::vector<uint8_t> image;
    const runtrail::byte_span bytes(file.data(), file.size());
    if (!runtrail::unwrap_container(bytes, runtrail::detect_container(bytes), decoder, image)) return 0;
    benchmark::DoNotOptimize(image.data());
    return image.size();
}

void run_files(benchmark::State& state, const std::vector<std::vector<uint8_t>>& files) {
    size_t out = 0;
    for (auto _ : state)
        for (const auto& f : files) out += decode_once(f);
    if (out == 0) state.SkipWithError("decoding failed");
    state.SetBytesProcessed(static_cast<int64_t>(out));
}

void bm_file(benchmark::State& state, size_t index) { run_files(state, {read_data(k_files[index])}); }

void bm_all_win10(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> files;
    for (size_t i = 0; i < k_win10_files; ++i) files.push_back(read_data(k_files[i]));
    run_files(state, files);
}

void bm_synthetic(benchmark::State& state) {
    // About 8 MiB of real images laid end to end, compressed by the test encoder.
    std::vector<uint8_t> plain;
    while (plain.size() < (size_t{8} << 20))
        for (size_t i = 0; i < k_win10_files; ++i) {
            const std::vector<uint8_t> file = read_data(k_files[i]);
            static runtrail::xpress_huffman_decoder decoder;
            std::vector<uint8_t> img;
            const runtrail::byte_span bytes(file.data(), file.size());
            if (!runtrail::unwrap_container(bytes, runtrail::detect_container(bytes), decoder, img)) {
                state.SkipWithError("cannot decode sample");
                return;
            }
            plain.insert(plain.end(), img.begin(), img.end());
        }
    const std::vector<uint8_t> mam = xpress_test::make_mam(plain);
    state.counters["compressed_bytes"] = static_cast<double>(mam.size());
    run_files(state, {mam});
}

}  // namespace

int main(int argc, char** argv) {
    // Keep freed memory in the process: otherwise every iteration hands the output and table
    // back to the kernel and faults them in again, and on a virtual machine the page-table work
    // outweighs the decoding being measured. "--cold_allocator" keeps the default behaviour.
    bool cold = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--cold_allocator") cold = true;
        else argv[kept++] = argv[i];
    }
    argc = kept;
    if (!cold) {
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        mallopt(M_MMAP_THRESHOLD, 256 << 20);
    }
    for (size_t i = 0; i < std::size(k_files); ++i) {
        std::string name = k_files[i];
        benchmark::RegisterBenchmark(("decode/" + name.substr(0, name.find('-'))).c_str(), bm_file, i);
    }
    benchmark::RegisterBenchmark("decode/all_win10", bm_all_win10);
    benchmark::RegisterBenchmark("decode/synthetic_8MiB", bm_synthetic)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
