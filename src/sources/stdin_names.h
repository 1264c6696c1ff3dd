// -pipe: one name per line of standard input, for example from find.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>

#include "name_source.h"

namespace runtrail {

class stdin_names final : public name_source {
public:
    // The longest name the system can open (its path limit counts the terminating zero byte).
    static constexpr size_t k_longest_name = PATH_MAX - 1;

    explicit stdin_names(std::FILE* input = stdin);
    // A line without its line end (trailing CRs and the LF removed). A line that cannot name a
    // file, longer than k_longest_name or holding a zero byte, is one empty name with problem()
    // saying why; however long it is, no part of it is read as a name.
    bool next(std::string& name) override;

private:
    std::FILE* input_;
    uint64_t line_number_ = 0;
};

}  // namespace runtrail
