// The source of input names in multi-file mode: lines from standard input (-pipe), or the files
// of a depth-first directory walk (-enumdir, -num_subdirs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "name_filter.h"

namespace qnportdir {

class stdin_stream_ex {
public:
    // Bytes of one read: a longer line is delivered in pieces of k_line_buffer_size - 1 bytes.
    static constexpr size_t k_line_buffer_size = 4096;

    explicit stdin_stream_ex(std::FILE* input = stdin);
    virtual ~stdin_stream_ex();

    bool open_stdin();
    bool open_walk(const std::string& directory, uint32_t max_depth, const std::vector<filter_entry>& filters);
    // The next name; false when the input or the walk is finished.
    bool next_name(std::string& name, bool strip);
    // The directory the walk listed last (for progress display); empty in standard-input mode.
    const std::string& current_directory() const { return current_directory_; }

    // What the walk holds right now: accepted files of the directory listed last, and directories
    // waiting to be listed.
    size_t pending_file_count() const { return pending_files_.size(); }
    size_t pending_dir_count() const { return pending_dirs_.size(); }

private:
    bool read_line(std::string& line, bool strip);
    bool next_walk_name(std::string& name);
    void reset_walk();
    void expand_root();
    void list_pending_directory(const std::string& directory, uint32_t depth);

    std::FILE* input_;
    std::vector<char> buffer_;
    // Walk state. Paths are kept as the bytes the file system gave, so that a name which is not
    // valid UTF-8 is delivered as it is rather than lost in a conversion. Both are stacks.
    std::vector<std::pair<std::string, uint32_t>> pending_dirs_;
    std::vector<std::string> pending_files_;
    std::string root_;  // the -enumdir value, expanded on the first request
    bool root_pending_ = false;
    uint32_t max_depth_ = 1;
    std::vector<filter_entry> filters_;
    bool walk_mode_ = false;
    std::string current_directory_;
};

}  // namespace qnportdir
