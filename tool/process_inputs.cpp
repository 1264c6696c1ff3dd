// The per-file chain: read the file (at most 16 MiB), take its file-system times, undo a
// compressed container, parse the image and hand the context to exactly one writer.
#include "process_inputs.h"

#include <cstdio>
#include <ostream>
#include <vector>

#include "byte_view.h"
#include "container.h"
#include "fileio.h"
#include "name_filter.h"
#include "name_source.h"
#include "prefetch_parser.h"
#include "qn_string.h"
#include "report_writers.h"
#include "run_progress.h"
#include "runtrail_user_context.h"
#include "xpress_adt.h"

namespace {

// Written before the first report and after each report of a text run over several files.
constexpr const char* k_separator_line = " =================================================== \n\n";

bool name_passes(const std::string& name, const runtrail_user_context& ctx) {
    if (!filter_match(name, ctx.include_filters)) return false;
    return ctx.skip_filters.empty() || !filter_match(name, ctx.skip_filters);
}

// Decompresses the container in `bytes` into `image`. The decoder is new for every file, but it
// builds the image in the capacity `image` brings from earlier files.
bool unwrap_container_into(qn::byte_view bytes, std::vector<uint8_t>& image) {
    xpress_adt decoder;
    decoder.m_output.swap(image);
    const bool ok = decompress(decoder, bytes.data(), bytes.size()) && !decoder.m_output.empty();
    image.swap(decoder.m_output);
    return ok;
}

}  // namespace

std::string file_name_of(const std::string& path) {
    size_t at = path.rfind('\\');
    if (at == std::string::npos) at = path.rfind('/');
    if (at == std::string::npos || at == 0) return path;
    std::string name = path.substr(at + 1);
    return name == ".." ? std::string(".") : name;
}

bool read_prefetch_file(runtrail_user_context& ctx) {
    file_chain_buffers buffers;
    return read_prefetch_file(ctx, buffers);
}

bool read_prefetch_file(runtrail_user_context& ctx, file_chain_buffers& buffers) {
    uni::file_stats stats;
    if (!uni::read_file_reusing(buffers.file, buffers.file_length, ctx.file_path, k_prefetch_read_cap, stats)) {
        if (ctx.show_progress) {
            if (ctx.progress) ctx.progress->hide();
            std::fprintf(stderr, "prob reading file %s\n", ctx.file_path.c_str());
        }
        return false;
    }
    ctx.prefetch_file_size = stats.size;
    ctx.prefetch_file_times[k_file_time_modified] = stats.mtime;
    ctx.prefetch_file_times[k_file_time_accessed] = stats.atime;
    ctx.prefetch_file_times[k_file_time_changed] = stats.ctime;

    const qn::byte_view bytes(buffers.file.data(), buffers.file_length);
    uint32_t declared_size = 0;
    if (detect_container(bytes.data(), bytes.size(), declared_size) == container_none)
        return parse_prefetch(bytes.data(), bytes.size(), ctx);
    if (!unwrap_container_into(bytes, buffers.image)) return false;
    return parse_prefetch(buffers.image.data(), buffers.image.size(), ctx);
}

bool output_prefetch_entry(std::ostream& out, runtrail_user_context& ctx) {
    file_chain_buffers buffers;
    return output_prefetch_entry(out, ctx, buffers);
}

bool output_prefetch_entry(std::ostream& out, runtrail_user_context& ctx, file_chain_buffers& buffers) {
    try {
        if (!read_prefetch_file(ctx, buffers)) return false;
        int written;
        if (ctx.out_csv)
            written = write_csv_report(out, ctx);
        else if (ctx.out_csvl2t)
            written = write_l2t_report(out, ctx);
        else if (ctx.out_bodyfile)
            written = write_body_report(out, ctx);
        else if (ctx.out_jsonl)
            written = write_jsonl_report(out, ctx);
        else
            written = write_text_report(out, ctx);
        return written != 0;
    } catch (...) {
        ctx.diag_line("output_prefetch_entry: exception caught");
        return false;
    }
}

bool process_inputs(runtrail_user_context& ctx, std::ostream& out) {
    if (!ctx.pipe_input && !ctx.enum_dir_given) {
        ctx.file_name = file_name_of(ctx.file_path);
        return output_prefetch_entry(out, ctx);
    }

    qnportdir::stdin_stream_ex source;
    const bool opened = ctx.pipe_input ? source.open_stdin()
                                       : source.open_walk(ctx.enum_dir, ctx.num_subdirs, ctx.include_filters);
    if (!opened) return false;
    if (ctx.progress && !ctx.pipe_input) ctx.progress->watch_directory(&source.current_directory());

    const bool separators =
        !ctx.out_csv && !ctx.out_csvl2t && !ctx.out_bodyfile && !ctx.out_jsonl && ctx.verbose;
    if (separators) out << k_separator_line;

    bool result = false;
    std::string name;
    file_chain_buffers buffers;
    while (source.next_name(name, true)) {
        if (name.empty() || !name_passes(name, ctx)) continue;
        ctx.reset_record();
        ctx.file_path = qn::expand_env_vars(name, true);
        ctx.file_name = file_name_of(ctx.file_path);
        ctx.diag_line(ctx.file_path);
        result = output_prefetch_entry(out, ctx, buffers);
        if (ctx.progress) ctx.progress->file_done(result);
        if (separators && result) out << k_separator_line;
    }
    if (ctx.progress) ctx.progress->watch_directory(nullptr);  // the name source ends here
    return result;
}
