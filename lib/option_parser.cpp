// Placeholder until the option parser lands.
#include "cmd_params.h"

bool find_flag(const std::string&, std::vector<std::string>&, bool) { return false; }
bool find_value(const std::string&, std::string&, std::vector<std::string>&) { return false; }
bool has_arg_from(const std::string&, const std::vector<std::string>&, size_t) { return false; }
void set_separator(cmd_params& s, const std::string& text, bool) { s.separator = text; }
bool parse_generic_options(cmd_params&, std::vector<std::string>& args) { return !args.empty(); }
