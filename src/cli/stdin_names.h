// -pipe: one name per line of standard input, for example from find.
#pragma once

#include <cstdio>
#include <vector>

#include "name_source.h"

namespace runtrail {

class stdin_names final : public name_source {
public:
    // Bytes of one read: a longer line is delivered in pieces of k_line_buffer_size - 1 bytes.
    static constexpr size_t k_line_buffer_size = 4096;

    explicit stdin_names(std::FILE* input = stdin);
    // A line without its line end (trailing CR and LF removed). A line holding a zero byte is
    // delivered as an empty name, which the run skips: it cannot name a file.
    bool next(std::string& name) override;

private:
    std::FILE* input_;
    std::vector<char> buffer_;
};

}  // namespace runtrail
