// The whole per-file chain on arbitrary bytes: container, prefetch parser and every writer.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>

#include "container.h"
#include "prefetch_parser.h"
#include "report_writers.h"
#include "runtrail_user_context.h"

namespace {

void write_all_forms(runtrail_user_context& ctx) {
    using writer = int (*)(std::ostream&, runtrail_user_context&);
    struct form {
        bool runtrail_user_context::* flag;
        writer write;
    };
    static const form forms[] = {
        {&runtrail_user_context::out_csv, write_csv_report},
        {&runtrail_user_context::out_csvl2t, write_l2t_report},
        {&runtrail_user_context::out_bodyfile, write_body_report},
        {&runtrail_user_context::out_jsonl, write_jsonl_report},
    };
    std::ostringstream out;
    ctx.out_csv = false;
    write_text_report(out, ctx);
    for (const form& f : forms) {
        ctx.*(f.flag) = true;
        ctx.header_pending = true;
        f.write(out, ctx);
        ctx.*(f.flag) = false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static runtrail_user_context ctx(0);
    ctx.reset_record();
    ctx.show_prev_times = ctx.show_target_path = true;
    ctx.file_path = ctx.file_name = "x.pf";
    std::vector<uint8_t> buffer(data, data + size);
    if (!unwrap_container(buffer) || buffer.empty()) return 0;
    if (!parse_prefetch(buffer.data(), buffer.size(), ctx)) return 0;
    write_all_forms(ctx);
    return 0;
}
