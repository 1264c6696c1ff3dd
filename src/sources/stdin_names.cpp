#include "stdin_names.h"

#include <string>

namespace runtrail {

stdin_names::stdin_names(std::FILE* input) : input_(input) {}

bool stdin_names::next(std::string& name) {
    name.clear();
    problem_.clear();
    if (!input_) return false;
    int c = getc_unlocked(input_);
    if (c == EOF) {
        // Names that could not be read must not pass for the end of the list.
        if (std::ferror(input_)) problem_ = "prob reading standard input";
        return false;
    }
    ++line_number_;
    // Only the first k_longest_name bytes are kept; the length without trailing CRs is counted
    // whatever the line's length.
    size_t length = 0, name_length = 0;
    bool zero_byte = false;
    for (; c != EOF && c != '\n'; c = getc_unlocked(input_)) {
        if (length < k_longest_name) name.push_back(static_cast<char>(c));
        ++length;
        if (c != '\r') name_length = length;
        if (c == '\0') zero_byte = true;
    }
    const char* why = name_length > k_longest_name ? "name too long" : zero_byte ? "name holds a NUL byte" : nullptr;
    if (why) {
        name.clear();
        problem_ = "prob reading line " + std::to_string(line_number_) + " of standard input: " + why;
        return true;
    }
    name.resize(name_length);
    return true;
}

}  // namespace runtrail
