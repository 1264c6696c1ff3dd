// Placeholder until multi-file input lands.
#include "name_source.h"

namespace qnportdir {
stdin_stream_ex::stdin_stream_ex(std::FILE* input) : input_(input) {}
stdin_stream_ex::~stdin_stream_ex() = default;
bool stdin_stream_ex::open_stdin() { return false; }
bool stdin_stream_ex::open_walk(const std::string&, uint32_t, const std::vector<filter_entry>&) { return false; }
bool stdin_stream_ex::next_name(std::string&, bool) { return false; }
bool stdin_stream_ex::read_line(std::string&, bool) { return false; }
bool stdin_stream_ex::next_walk_name(std::string&) { return false; }
}  // namespace qnportdir
