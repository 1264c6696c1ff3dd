// -enumdir with -num_subdirs: the files of a directory tree, depth first.
//
// The root is depth 0. Listing a directory pushes its files on one stack and its subdirectories
// (those within the depth limit) on another; files are delivered first (last listed first), then
// the most recently pushed directory is listed. So every file of a directory comes out before
// anything below it, and the walk holds one listing plus the two stacks. Symbolic links are never
// followed, so the walk cannot loop.
//
// A directory that cannot be listed (no permission, a path too long) is one entry with a problem,
// which the run counts as skipped. When not one root directory can be listed, the walk fails. A
// star's match that lacks the rest of the pattern (no Prefetch in /mnt/e for /mnt/*/Prefetch) is
// simply no root.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "name_source.h"

namespace runtrail {

class directory_walk final : public name_source {
public:
    // `root` may hold '*': in the directory part each starred component is matched against the
    // subdirectories found there ("/mnt/*/Prefetch"). A starred last component ("/data/*.pf")
    // means the entries of its parent whose names match, as a shell would expand it: matching
    // files are delivered, matching directories become walk roots.
    directory_walk(std::string root, uint32_t max_depth);

    bool next(std::string& name) override;
    const std::string* current_directory() const override { return &current_directory_; }

private:
    // False when the root names no directory that can be listed.
    bool expand_root();
    // False when the directory cannot be listed.
    bool list_directory(const std::string& directory, uint32_t depth);

    // Paths are kept as the bytes the file system gave, so that a name which is not valid UTF-8 is
    // delivered as it is.
    std::vector<std::pair<std::string, uint32_t>> pending_dirs_;
    std::vector<std::string> pending_files_;
    std::vector<std::string> unlisted_dirs_;  // waiting to be reported
    std::string root_;
    bool root_pending_ = true;
    uint32_t max_depth_;
    std::string current_directory_;
};

}  // namespace runtrail
