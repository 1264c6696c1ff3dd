// The disk image reader on arbitrary bytes, held in memory: partition tables, NTFS boot sectors,
// MFT entries, folder indexes and data runs as a hostile image may set them. Every volume found is
// walked (the Prefetch folder, or every folder a few levels down, chosen by the input's length)
// and every file read up to the read cap. Besides the sanitizers' findings, a walk that does not
// end, or a read longer than the cap, is a fault: the harness aborts on it. A build without the
// image library fuzzes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifdef RUNTRAIL_WITH_IMAGES
#include "image_walk.h"
#include "prefetch_file.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef RUNTRAIL_WITH_IMAGES
    using namespace runtrail;
    // Far more entries than a small image can hold: a walk this long is a loop.
    constexpr size_t k_most_entries = 1000000;
    std::string problem;
    std::unique_ptr<disk_image> image = disk_image::open_memory(data, size, problem);
    const bool whole_volume = size % 2 == 1;
    image_walk walk(std::move(image), "fuzz", problem, whole_volume ? "/" : image_walk::k_prefetch_folder,
                    whole_volume ? 4 : 0, !whole_volume);
    std::vector<uint8_t> buffer;
    std::string name;
    size_t entries = 0;
    while (walk.next(name)) {
        if (++entries > k_most_entries) {
            std::fputs("the walk does not end\n", stderr);
            std::abort();
        }
        if (name.empty()) continue;
        size_t length = 0;
        if (walk.read_held(*walk.held(), k_prefetch_read_cap, buffer, length) && length > k_prefetch_read_cap) {
            std::fputs("a read past the cap\n", stderr);
            std::abort();
        }
    }
#else
    (void)data;
    (void)size;
#endif
    return 0;
}
