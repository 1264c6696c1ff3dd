// Decompression throughput, reported as decoded output bytes per second: the real Windows 10
// and 11 "MAM" prefetch images in tests/data one by one and together, and a synthetic stream of
// several MiB made of real prefetch images.
//
// A MAM image is a run of chunks of 64 KiB output, each with its own Huffman table; but a match
// may reach back into the chunks before and run on past the 64 KiB mark, so only an image's first
// chunk decodes on its own. "first/" runs runtrail's chunk decoder alone over the first chunk of
// each image as Windows compressed it. When the build found wimlib, "wimlib-first/" decodes the
// very same bytes with wimlib's XPRESS decompressor (the fastest open decoder of the format), and
// "whole/" and "wimlib-whole/" decode the whole images cut into 64 KiB pieces that wimlib's
// compressor made independent; a table of both speeds and their ratio follows the run. "file/" is
// what a run of runtrail does per file: container, every chunk and the image buffer.
//
// Speeds on a shared machine are noisy; compare paired runs, e.g.
//   decompress_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
// which interleaves the repetitions of all benchmarks; the table then shows medians.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "container.h"
#include "xpress_test_encoder.h"

#ifdef RUNTRAIL_HAVE_WIMLIB
#include <wimlib.h>
#endif

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
constexpr size_t k_mam_header_bytes = 8;  // signature and image size; the first chunk follows

std::vector<uint8_t> read_data(const std::string& rel) {
    std::ifstream f(std::string(RUNTRAIL_TEST_DATA) + "/" + rel, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string short_name(const std::string& rel) { return rel.substr(0, rel.find('-')); }

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

// Chunks that each decode on their own, and what they decode to.
struct chunk {
    size_t in_offset, in_size, out_offset, out_size;
};
struct chunk_set {
    std::vector<uint8_t> input;
    std::vector<chunk> chunks;
    std::vector<uint8_t> image;  // the decoded chunks one after the other
};

// The first chunk of a MAM file, as Windows compressed it (empty for any other file).
chunk_set first_chunk(const std::vector<uint8_t>& file) {
    chunk_set c{file, {}, {}};
    const runtrail::byte_span bytes(file.data(), file.size());
    const runtrail::container_header header = runtrail::detect_container(bytes);
    if (header.kind != runtrail::container_kind::mam || file.size() <= k_mam_header_bytes) return c;
    runtrail::xpress_huffman_decoder decoder;
    c.image.assign(std::min<size_t>(header.declared_size, runtrail::k_mam_chunk_size), 0);
    size_t pos = 0;
    size_t used = 0;
    const size_t available = file.size() - k_mam_header_bytes;
    if (decoder.decode_chunk(file.data() + k_mam_header_bytes, available, c.image.data(), c.image.size(), pos, used) &&
        pos == c.image.size())
        c.chunks.push_back({k_mam_header_bytes, std::min(used, available), 0, pos});
    return c;
}

void append(chunk_set& to, const chunk_set& from) {
    for (chunk ch : from.chunks) {
        ch.in_offset += to.input.size();
        ch.out_offset += to.image.size();
        to.chunks.push_back(ch);
    }
    to.input.insert(to.input.end(), from.input.begin(), from.input.end());
    to.image.insert(to.image.end(), from.image.begin(), from.image.end());
}

void bm_runtrail(benchmark::State& state, const chunk_set* set) {
    runtrail::xpress_huffman_decoder decoder;
    std::vector<uint8_t> out(set->image.size());
    size_t bytes = 0;
    for (auto _ : state) {
        for (const chunk& ch : set->chunks) {
            size_t pos = ch.out_offset;
            size_t used = 0;
            // As in a run, the decoder sees the input up to its end and stops at the chunk's
            // output: it ends a chunk once the format's reader stands at the end of the input,
            // which (at in_size) can fall one symbol before the last, whose bits it already holds.
            decoder.decode_chunk(set->input.data() + ch.in_offset, set->input.size() - ch.in_offset, out.data(),
                                 ch.out_offset + ch.out_size, pos, used);
            bytes += pos - ch.out_offset;
        }
        benchmark::DoNotOptimize(out.data());
    }
    if (set->chunks.empty() || out != set->image) state.SkipWithError("decoding failed");
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

#ifdef RUNTRAIL_HAVE_WIMLIB
void bm_wimlib(benchmark::State& state, const chunk_set* set) {
    wimlib_decompressor* d = nullptr;
    if (wimlib_create_decompressor(WIMLIB_COMPRESSION_TYPE_XPRESS, runtrail::k_mam_chunk_size, &d) != 0) {
        state.SkipWithError("wimlib_create_decompressor failed");
        return;
    }
    std::vector<uint8_t> out(set->image.size());
    size_t bytes = 0;
    bool ok = true;
    for (auto _ : state) {
        for (const chunk& ch : set->chunks) {
            ok &= wimlib_decompress(set->input.data() + ch.in_offset, ch.in_size, out.data() + ch.out_offset,
                                    ch.out_size, d) == 0;
            bytes += ch.out_size;
        }
        benchmark::DoNotOptimize(out.data());
    }
    wimlib_free_decompressor(d);
    if (set->chunks.empty() || !ok || out != set->image)
        state.SkipWithError("wimlib could not decode the chunks, or decoded them differently");
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// A whole image cut into 64 KiB pieces, each compressed on its own by wimlib (a piece that
// does not shrink is left out).
chunk_set recompressed(const std::vector<uint8_t>& file) {
    chunk_set c;
    static runtrail::xpress_huffman_decoder decoder;
    std::vector<uint8_t> image;
    const runtrail::byte_span bytes(file.data(), file.size());
    if (!runtrail::unwrap_container(bytes, runtrail::detect_container(bytes), decoder, image)) return c;
    wimlib_compressor* comp = nullptr;
    if (wimlib_create_compressor(WIMLIB_COMPRESSION_TYPE_XPRESS, runtrail::k_mam_chunk_size, 0, &comp) != 0) return c;
    std::vector<uint8_t> piece(runtrail::k_mam_chunk_size);
    for (size_t at = 0; at < image.size(); at += runtrail::k_mam_chunk_size) {
        const size_t n = std::min(runtrail::k_mam_chunk_size, image.size() - at);
        const size_t size = wimlib_compress(image.data() + at, n, piece.data(), piece.size(), comp);
        if (size == 0) continue;
        c.chunks.push_back({c.input.size(), size, c.image.size(), n});
        c.input.insert(c.input.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(size));
        c.image.insert(c.image.end(), image.begin() + static_cast<ptrdiff_t>(at),
                       image.begin() + static_cast<ptrdiff_t>(at + n));
    }
    wimlib_free_compressor(comp);
    return c;
}
#endif

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

// The console output, and afterwards the speed of runtrail's and wimlib's chunk decoding side
// by side: medians when the run has repetitions, else the single figures.
class side_by_side_reporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.run_type == Run::RT_Aggregate && !median) continue;
            const std::string& name = r.run_name.function_name;
            const auto it = r.counters.find("bytes_per_second");
            if (it == r.counters.end()) continue;
            auto& slot = speed_[name];
            if (median || !slot.second) slot = {it->second.value, median};
        }
    }

    void print_table() const {
        bool header = false;
        for (const auto& [name, speed] : speed_) {
            if (name.rfind("wimlib-", 0) == 0) continue;
            const auto other = speed_.find("wimlib-" + name);
            if (other == speed_.end()) continue;
            if (!header) {
                std::printf("\n%-44s %14s %14s %8s\n", "chunks decoded", "runtrail GB/s", "wimlib GB/s", "ratio");
                header = true;
            }
            std::printf("%-44s %14.3f %14.3f %7.2fx\n", name.c_str(), speed.first / 1e9, other->second.first / 1e9,
                        speed.first / other->second.first);
        }
    }

private:
    std::map<std::string, std::pair<double, bool>> speed_;  // bytes per second, and whether a median
};

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

    // The chunk sets, per image and all together; they live until the end of the run.
    std::vector<std::vector<uint8_t>> files;
    for (const char* f : k_files) files.push_back(read_data(f));
    std::vector<std::pair<std::string, chunk_set>> sets;
    chunk_set all_first;
    for (size_t i = 0; i < files.size(); ++i) {
        sets.emplace_back("first/" + short_name(k_files[i]), first_chunk(files[i]));
        append(all_first, sets.back().second);
    }
    sets.emplace_back("first/all", std::move(all_first));
#ifdef RUNTRAIL_HAVE_WIMLIB
    chunk_set all_whole;
    for (size_t i = 0; i < files.size(); ++i) {
        sets.emplace_back("whole/" + short_name(k_files[i]), recompressed(files[i]));
        append(all_whole, sets.back().second);
    }
    sets.emplace_back("whole/all", std::move(all_whole));
#endif
    for (const auto& [name, set] : sets) {
        benchmark::RegisterBenchmark(name.c_str(), bm_runtrail, &set);
#ifdef RUNTRAIL_HAVE_WIMLIB
        benchmark::RegisterBenchmark(("wimlib-" + name).c_str(), bm_wimlib, &set);
#endif
    }

    const std::vector<std::vector<uint8_t>> win10(files.begin(), files.begin() + k_win10_files);
    benchmark::RegisterBenchmark("file/all_win10", [&win10](benchmark::State& s) { run_files(s, win10); });
    benchmark::RegisterBenchmark("file/synthetic_8MiB", bm_synthetic)->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    side_by_side_reporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                          : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_table();
    benchmark::Shutdown();
    return 0;
}
