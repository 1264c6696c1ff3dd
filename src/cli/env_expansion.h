// %NAME% references in paths typed on the command line, replaced by environment variables.
#pragma once

#include <string>

namespace runtrail {

// Replaces %NAME% with the environment variable's value (an inserted value is scanned again), and
// an unset %vss% with the Windows shadow-copy device prefix. Bounded: no replacement starts once
// the text is 513 bytes long or after 64 replacements, so a value that names itself cannot loop.
std::string expand_env_vars(std::string text);

}  // namespace runtrail
