// The source of input names in multi-file mode: lines from standard input (-pipe), or the files
// of a depth-first directory walk (-enumdir, -num_subdirs).
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "name_filter.h"

namespace qnportdir {

class stdin_stream_ex {
public:
    explicit stdin_stream_ex(std::FILE* input = stdin);
    virtual ~stdin_stream_ex();

    bool open_stdin();
    bool open_walk(const std::string& directory, uint32_t max_depth, const std::vector<filter_entry>& filters);
    // The next name; false when the input or the walk is finished.
    bool next_name(std::string& name, bool strip);
    // The directory the walk listed last (for progress display); empty in standard-input mode.
    const std::string& current_directory() const { return current_directory_; }

private:
    bool read_line(std::string& line, bool strip);
    bool next_walk_name(std::string& name);

    std::FILE* input_;
    std::vector<char> buffer_;
    std::deque<std::pair<std::u32string, uint32_t>> pending_dirs_;
    std::deque<std::u32string> pending_files_;
    uint32_t max_depth_ = 1;
    std::vector<filter_entry> filters_;
    bool walk_mode_ = false;
    std::string current_directory_;
};

}  // namespace qnportdir
