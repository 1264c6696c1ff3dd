#include "html_timeline.h"

#include <algorithm>
#include <cstdio>

#include "html_text.h"

namespace runtrail {
namespace {

// The picture's geometry, in its own units.
constexpr int k_width = 1200;
constexpr int k_label_right = 236;  // names end here
constexpr double k_plot_left = 250;
constexpr double k_plot_width = 880;
constexpr int k_axis_height = 34;
constexpr int k_row_height = 16;
constexpr int k_mark_height = 10;
constexpr int k_ticks = 6;
constexpr int64_t k_lone_time_margin = 3'600'000;  // one hour each side of a single time

// Sooner out of the kept rows: run less recently, then later in the run.
bool leaves_first(const picture_row& a, const picture_row& b) {
    if (a.latest() != b.latest()) return a.latest() < b.latest();
    return a.order > b.order;
}

void append_number(std::string& out, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    out += text;
}

}  // namespace

int64_t picture_row::latest() const {
    int64_t latest = last_run;
    for (const int64_t t : runs) latest = std::max(latest, t);
    return latest;
}

void static_timeline::add(picture_row row) {
    if (row.runs.empty()) return;
    ++drawable_;
    // A min-heap on "leaves first" keeps the k_most_rows rows run most recently.
    const auto sooner_out_last = [](const picture_row& a, const picture_row& b) { return leaves_first(b, a); };
    if (kept_.size() == k_most_rows) {
        if (!leaves_first(kept_.front(), row)) return;
        std::pop_heap(kept_.begin(), kept_.end(), sooner_out_last);
        kept_.pop_back();
    }
    kept_.push_back(std::move(row));
    std::push_heap(kept_.begin(), kept_.end(), sooner_out_last);
}

void static_timeline::draw(std::string& out) const {
    if (kept_.empty()) {
        out += "<p class=\"note\">No stored run time to draw.</p>";
        return;
    }
    std::vector<const picture_row*> rows;
    for (const picture_row& row : kept_) rows.push_back(&row);
    std::sort(rows.begin(), rows.end(), [](const picture_row* a, const picture_row* b) { return leaves_first(*b, *a); });

    int64_t low = INT64_MAX, high = INT64_MIN;
    for (const picture_row* row : rows)
        for (const int64_t t : row->runs) low = std::min(low, t), high = std::max(high, t);
    if (low == high) low -= k_lone_time_margin, high += k_lone_time_margin;
    const double span = static_cast<double>(high - low);
    const auto x_of = [&](int64_t t) { return k_plot_left + static_cast<double>(t - low) / span * k_plot_width; };

    const int height = k_axis_height + static_cast<int>(rows.size()) * k_row_height + 4;
    out += "<svg id=\"tl-static\" class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
    out += std::to_string(k_width) + ' ' + std::to_string(height) + "\" width=\"" + std::to_string(k_width) +
           "\" height=\"" + std::to_string(height) + "\" role=\"img\" aria-label=\"Execution timeline\">";
    out += "<g class=\"axis\">";
    for (int i = 0; i <= k_ticks; ++i) {
        const int64_t t = low + static_cast<int64_t>(span * i / k_ticks);
        const double x = x_of(t);
        out += "<line x1=\"";
        append_number(out, x);
        out += "\" x2=\"";
        append_number(out, x);
        out += "\" y1=\"" + std::to_string(k_axis_height - 6) + "\" y2=\"" + std::to_string(height) + "\"/>";
        out += "<text x=\"";
        append_number(out, x);
        out += "\" y=\"" + std::to_string(k_axis_height - 10) + "\">";
        std::string label;
        append_page_time(label, t);
        out += label.substr(0, 16);  // to the minute
        out += "</text>";
    }
    out += "</g>";

    int y = k_axis_height;
    for (const picture_row* row : rows) {
        std::string name;
        append_html_text(name, row->name);
        out += "<g class=\"row\"><text class=\"name\" x=\"" + std::to_string(k_label_right) + "\" y=\"" +
               std::to_string(y + k_mark_height) + "\">" + name + "</text>";
        // Earliest first, so that the last run (normally the latest) is drawn over the others.
        for (auto run = row->runs.rbegin(); run != row->runs.rend(); ++run) {
            const int64_t t = *run;
            out += t == row->last_run ? "<rect class=\"m last\" x=\"" : "<rect class=\"m\" x=\"";
            append_number(out, x_of(t) - 1);
            out += "\" y=\"" + std::to_string(y + 1) + "\" width=\"2\" height=\"" + std::to_string(k_mark_height) +
                   "\"><title>";
            append_page_time(out, t);
            out += " UTC " + name + (t == row->last_run ? " (last run)" : "") + "</title></rect>";
        }
        out += "</g>";
        y += k_row_height;
    }
    out += "</svg>";
    if (drawable_ > rows.size())
        out += "<p class=\"note\">The picture shows the " + std::to_string(rows.size()) + " programs run most recently of " +
               std::to_string(drawable_) + "; with scripts on, the timeline draws any of them.</p>";
}

}  // namespace runtrail
