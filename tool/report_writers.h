// The output forms. Each returns 1 when it wrote a report for the current file, 0 when its
// output option is not the one selected (then it writes nothing).
#pragma once

#include <iosfwd>

struct runtrail_user_context;

int write_text_report(std::ostream& out, runtrail_user_context& ctx);
int write_csv_report(std::ostream& out, runtrail_user_context& ctx);
int write_l2t_report(std::ostream& out, runtrail_user_context& ctx);
int write_body_report(std::ostream& out, runtrail_user_context& ctx);
int write_jsonl_report(std::ostream& out, runtrail_user_context& ctx);
