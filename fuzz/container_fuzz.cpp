// Container detection and decompression on arbitrary bytes. Beyond memory safety it checks the
// bounds the decoder promises: an image never exceeds the container cap nor what the input can
// decode to, and a hibernation block always gives exactly 64 KiB.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "container.h"
#include "xpress_lz77.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "container invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace runtrail;
    static xpress_huffman_decoder decoder;
    const byte_span bytes(data, size);
    const container_header header = detect_container(bytes);
    std::vector<uint8_t> image;
    if (!unwrap_container(bytes, header, decoder, image)) return 0;
    require(header.kind != container_kind::none, "decoded without a container");
    require(image.size() == header.declared_size, "image size differs from the declared size");
    require(image.size() <= k_max_container_image, "image above the container cap");
    if (header.kind == container_kind::xpress_block)
        require(image.size() == k_xpress_block_output_bytes, "hibernation image not 64 KiB");
    else
        require(image.size() <= max_decodable_image(size), "image above what the input decodes to");
    return 0;
}
