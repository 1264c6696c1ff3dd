// Placeholder until date and time patterns land.
#include "time_format.h"

namespace qn {
const char* month_abbrev(unsigned) { return ""; }
bool compile_time_format(std::string_view, std::string_view, bool, time_format_spec& spec) {
    spec = {};
    return false;
}
bool format_date_time(std::string& d, std::string& t, const qn::time&, std::string_view, std::string_view) {
    d.clear(), t.clear();
    return false;
}
bool format_date_time_nofrac(std::string& d, std::string& t, const qn::time&, std::string_view, std::string_view) {
    d.clear(), t.clear();
    return false;
}
bool format_date_time_spec(std::string& d, std::string& t, const qn::time&, const time_format_spec&) {
    d.clear(), t.clear();
    return false;
}
bool date_pattern_acceptable(std::string_view v) { return v.size() == 8 || v.size() == 10; }
bool time_pattern_acceptable(std::string_view v) {
    return (v.size() == 8 || (v.size() >= 12 && v.size() <= 18)) && v.find(':') != std::string_view::npos;
}
}  // namespace qn
