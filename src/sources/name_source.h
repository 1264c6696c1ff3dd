// Where the names of a multi-file run come from: lines of standard input (-pipe), a directory
// walk (-enumdir), or the NTFS volumes of a disk image (-image).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_facts.h"

namespace runtrail {

// A file that its source reads itself (one inside a disk image): what the file system says of it,
// and where its bytes are.
struct held_file {
    file_facts facts;
    uint32_t volume = 0;
    // The MFT entry now holds another file than the one the name meant: its bytes are not this file's.
    bool entry_reused = false;
};

class name_source {
public:
    virtual ~name_source() = default;
    // The next name; false when the source is used up. An empty name names no file: a blank line,
    // or, when problem() says why, an entry that cannot be a name (a line too long, a directory
    // that cannot be listed), which the run counts as skipped, or, when notice() holds a line, a
    // word about where the files come from (a disk image's volume), said and not counted.
    virtual bool next(std::string& name) = 0;
    // Why the entry just delivered is not a name; after next() returned false, why the source
    // could not be read at all. Empty otherwise.
    const std::string& problem() const { return problem_; }
    const std::string& notice() const { return notice_; }
    // The directory being listed, for the status line; nullptr when the source does not walk.
    virtual const std::string* current_directory() const { return nullptr; }

    // The file just delivered, when this source reads it itself; nullptr for a name on the local
    // file system.
    virtual const held_file* held() const { return nullptr; }
    // At most `cap` bytes of a held file into buffer[0, length) (the buffer only grows); safe to
    // call from any thread while names are still being taken.
    virtual bool read_held(const held_file&, uint64_t /*cap*/, std::vector<uint8_t>& /*buffer*/,
                           size_t& length) const {
        length = 0;
        return false;
    }

protected:
    std::string problem_;
    std::string notice_;
};

}  // namespace runtrail
