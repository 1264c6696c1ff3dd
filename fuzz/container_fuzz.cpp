// Container detection and decompression on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t declared = 0;
    detect_container(data, size, declared);
    std::vector<uint8_t> buffer(data, data + size);
    unwrap_container(buffer);
    return 0;
}
