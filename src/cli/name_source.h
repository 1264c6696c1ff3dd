// Where the names of a multi-file run come from: lines of standard input (-pipe) or a directory
// walk (-enumdir).
#pragma once

#include <string>

namespace runtrail {

class name_source {
public:
    virtual ~name_source() = default;
    // The next name; false when the source is used up.
    virtual bool next(std::string& name) = 0;
    // The directory being listed, for the status line; nullptr when the source does not walk.
    virtual const std::string* current_directory() const { return nullptr; }
};

}  // namespace runtrail
