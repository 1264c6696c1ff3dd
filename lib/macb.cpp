#include "macb.h"

namespace qn {
namespace {

// Builds one row: its MACB text and its description. A label joins the description after
// "; ". An empty label, when a generic label exists, opens the bracket form instead: the
// generic label, " [", the MACB letters so far, then every later letter, closed by "]" at B.
class row_builder {
public:
    row_builder(const macb_record& record, uint32_t type, uint64_t when) : record_(record) {
        row_.type = type;
        row_.time = qn::time(static_cast<int64_t>(when), type);
        row_.tag = record.tag;
    }

    void put(char letter) {
        row_.macb.push_back(letter);
        if (bracket_open_) row_.description.push_back(letter);
    }

    void add_label(const std::string& label) {
        if (!label.empty()) {
            separate();
            row_.description += label;
        } else if (!record_.generic_label.empty() && !bracket_open_) {
            separate();
            row_.description += record_.generic_label;
            row_.description += " [";
            row_.description += row_.macb;
            bracket_open_ = true;
        }
    }

    void add_extra(size_t i) {
        add_label(i < record_.extra_labels.size() ? record_.extra_labels[i] : std::string());
        if (i < record_.extra_texts1.size()) row_.extra_text1 += record_.extra_texts1[i];
        if (i < record_.extra_texts2.size()) row_.extra_text2 += record_.extra_texts2[i];
    }

    // The B position ends the MACB text and closes an open bracket.
    void finish_b() {
        if (bracket_open_) row_.description.push_back(']');
        bracket_open_ = false;
    }

    timeline_row take() { return std::move(row_); }

private:
    void separate() {
        if (!row_.description.empty()) row_.description += "; ";
    }

    const macb_record& record_;
    timeline_row row_;
    bool bracket_open_ = false;
};

bool takes_part(uint64_t value, uint32_t type) {
    return value != 0 && qn::time(static_cast<int64_t>(value), type).valid;
}

}  // namespace

void merge_macb(std::vector<timeline_row>& rows, macb_record& record, uint32_t type) {
    const uint64_t* t = record.times;
    bool part[4];
    for (size_t i = 0; i < 4; ++i) part[i] = takes_part(t[i], type);
    bool placed[4] = {false, false, false, false};

    const size_t extra_count = record.extra_times.size();
    record.extra_used.resize(extra_count, 0);
    std::vector<uint8_t> extra_ok(extra_count);
    for (size_t i = 0; i < extra_count; ++i) extra_ok[i] = takes_part(record.extra_times[i], type) ? 1 : 0;

    // Places every unused extra time equal to `when` in the row; true when at least one did.
    auto join_extras = [&](row_builder& row, uint64_t when, bool& c_written) {
        bool any = false;
        for (size_t i = 0; i < extra_count; ++i) {
            if (record.extra_used[i] || !extra_ok[i] || record.extra_times[i] != when) continue;
            record.extra_used[i] = 1;
            if (!c_written) {
                row.put('C');
                c_written = true;
            }
            row.add_extra(i);
            any = true;
        }
        return any;
    };
    // One position (A, C or B) of a row owned by the time `when`.
    auto join = [&](row_builder& row, size_t slot, uint64_t when, char letter) {
        if (part[slot] && !placed[slot] && t[slot] == when) {
            row.put(letter);
            row.add_label(record.labels[slot]);
            placed[slot] = true;
            return true;
        }
        return false;
    };
    auto c_position = [&](row_builder& row, uint64_t when) {
        bool c_written = join(row, k_macb_c, when, 'C');
        join_extras(row, when, c_written);
        if (!c_written) row.put('.');
    };
    auto b_position = [&](row_builder& row, uint64_t when) {
        if (!join(row, k_macb_b, when, 'B')) row.put('.');
        row.finish_b();
    };

    if (part[k_macb_m]) {
        const uint64_t when = t[k_macb_m];
        row_builder row(record, type, when);
        row.put('M');
        row.add_label(record.labels[k_macb_m]);
        placed[k_macb_m] = true;
        if (!join(row, k_macb_a, when, 'A')) row.put('.');
        c_position(row, when);
        b_position(row, when);
        rows.push_back(row.take());
    }
    if (part[k_macb_a] && !placed[k_macb_a]) {
        const uint64_t when = t[k_macb_a];
        row_builder row(record, type, when);
        row.put('.');
        row.put('A');
        row.add_label(record.labels[k_macb_a]);
        placed[k_macb_a] = true;
        c_position(row, when);
        b_position(row, when);
        rows.push_back(row.take());
    }
    if (part[k_macb_c] && !placed[k_macb_c]) {
        const uint64_t when = t[k_macb_c];
        row_builder row(record, type, when);
        row.put('.');
        row.put('.');
        row.put('C');
        row.add_label(record.labels[k_macb_c]);
        placed[k_macb_c] = true;
        bool c_written = true;
        join_extras(row, when, c_written);
        b_position(row, when);
        rows.push_back(row.take());
    }
    if (part[k_macb_b] && !placed[k_macb_b]) {
        const uint64_t when = t[k_macb_b];
        row_builder row(record, type, when);
        bool any_extra = false;
        for (size_t i = 0; i < extra_count; ++i)
            any_extra |= !record.extra_used[i] && extra_ok[i] && record.extra_times[i] == when;
        row.put('.');
        row.put('.');
        bool c_written = false;
        if (!any_extra) row.put('.');
        join_extras(row, when, c_written);
        row.put('B');
        row.add_label(record.labels[k_macb_b]);
        placed[k_macb_b] = true;
        row.finish_b();
        rows.push_back(row.take());
    }
    for (size_t i = 0; i < extra_count; ++i) {
        if (record.extra_used[i] || !extra_ok[i]) continue;
        record.extra_used[i] = 1;
        row_builder row(record, type, record.extra_times[i]);
        for (char letter : {'.', '.', 'C', '.'}) row.put(letter);
        timeline_row out = row.take();
        out.description = i < record.extra_labels.size() ? record.extra_labels[i] : std::string();
        if (i < record.extra_texts1.size()) out.extra_text1 = record.extra_texts1[i];
        if (i < record.extra_texts2.size()) out.extra_text2 = record.extra_texts2[i];
        rows.push_back(std::move(out));
    }
}

}  // namespace qn
