// Container detection and decompression on arbitrary bytes. Beyond memory safety it checks the
// bounds the decoder promises: an image never exceeds the container cap nor what the input can
// decode to, and a hibernation block always gives exactly 64 KiB.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "container.h"
#include "xpress_adt.h"
#include "xpress_lz77.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "container invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t declared = 0;
    const container_kind kind = detect_container(data, size, declared);

    xpress_adt decoder;
    const bool ok = decompress(decoder, data, size);
    if (ok) {
        require(kind != container_none, "decoded without a container");
        require(decoder.m_output.size() == declared, "image size differs from the declared size");
        require(decoder.m_output.size() <= k_max_container_image, "image above the container cap");
        if (kind == container_xpress_block)
            require(decoder.m_output.size() == k_xpress_block_output_bytes, "hibernation image not 64 KiB");
        else
            require(decoder.m_output.size() <= max_decodable_image(size), "image above what the input decodes to");
        require(decoder.m_output_pos <= decoder.m_output.size(), "output position past the image");
    }

    std::vector<uint8_t> buffer(data, data + size);
    const bool unwrapped = unwrap_container(buffer);
    require(unwrapped == (kind == container_none || (ok && !decoder.m_output.empty())),
            "unwrap and decompress disagree");
    if (unwrapped && kind != container_none) require(buffer == decoder.m_output, "unwrap gave another image");
    return 0;
}
