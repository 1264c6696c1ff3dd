// The per-file chain up to the record: read the file (its first 16 MiB at most) with its file-system
// facts, open a compressed container once, parse the image.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_facts.h"
#include "file_reader.h"
#include "prefetch_record.h"
#include "xpress_huffman.h"

namespace runtrail {

// Largest part of an input file that is read.
constexpr uint64_t k_prefetch_read_cap = 0x1000000;  // 16 MiB

// Memory the chain keeps from file to file, so that a run over many files reuses it instead of
// allocating and zeroing it for every file.
struct prefetch_file_buffers {
    std::vector<uint8_t> file;   // the file's bytes (grows to the largest file read)
    std::vector<uint8_t> image;  // a decompressed container
    xpress_huffman_decoder decoder;
};

enum class load_result {
    loaded,
    unreadable,    // cannot be opened or read, not a regular file, or empty
    not_prefetch,  // read, but not a usable prefetch image (or a container that does not decode)
};

// Asked, with a number of bytes, before the chain takes memory in proportion to one file; false
// leaves the file (the run is ending).
using memory_gate = std::function<bool(uint64_t bytes)>;

// Memory that parsing an image may take, per byte of the image: the record's names (a string
// object for every 20 bytes at worst, or the text of longer names), their file references and the
// parser's note of where each name lies. The report is counted apart, by its writer.
constexpr uint64_t k_work_bytes_per_image_byte = 4;

// Reads and parses the file at `path` into `facts` and `record` (whose memory is reused). When
// given, `may_read` is asked, once the file is open, with its identity and the bytes to be read
// (false leaves it unread), and `gate` for the image before a container is opened and for the work
// on the image before it is parsed.
load_result load_prefetch_file(const std::string& path, prefetch_file_buffers& buffers, file_facts& facts,
                               prefetch_record& record, const read_check& may_read = {},
                               const memory_gate& gate = {});

// Gives back the memory of buffers that one large file made grow past what a run of ordinary files
// needs.
void trim_prefetch_file_buffers(prefetch_file_buffers& buffers);

// Parses the bytes already read into buffers.file[0, length) (a file read from a disk image), asking
// `gate` as load_prefetch_file does.
load_result parse_prefetch_bytes(size_t length, prefetch_file_buffers& buffers, prefetch_record& record,
                                 const memory_gate& gate = {});

}  // namespace runtrail
