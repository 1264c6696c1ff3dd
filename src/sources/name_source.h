// Where the names of a multi-file run come from: lines of standard input (-pipe) or a directory
// walk (-enumdir).
#pragma once

#include <string>

namespace runtrail {

class name_source {
public:
    virtual ~name_source() = default;
    // The next name; false when the source is used up. An empty name names no file: a blank line,
    // or, when problem() says why, an entry that cannot be a name (a line too long, a directory
    // that cannot be listed), which the run counts as skipped.
    virtual bool next(std::string& name) = 0;
    // Why the entry just delivered is not a name; after next() returned false, why the source
    // could not be read at all. Empty otherwise.
    const std::string& problem() const { return problem_; }
    // The directory being listed, for the status line; nullptr when the source does not walk.
    virtual const std::string* current_directory() const { return nullptr; }

protected:
    std::string problem_;
};

}  // namespace runtrail
