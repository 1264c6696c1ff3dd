#include "spare_report_texts.h"

#include <algorithm>

namespace runtrail {
namespace {

bool holds_less(const std::string& text, size_t size) { return text.capacity() < size; }

}  // namespace

std::string spare_report_texts::take(size_t size) {
    std::lock_guard<std::mutex> hold(lock_);
    const auto fit = std::lower_bound(texts_.begin(), texts_.end(), size, holds_less);
    if (fit == texts_.end()) return {};
    std::string text = std::move(*fit);
    texts_.erase(fit);
    bytes_ -= text.capacity();
    return text;
}

void spare_report_texts::keep(std::string& text) {
    const size_t capacity = text.capacity();
    if (capacity <= least_) return;  // its task keeps it
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (bytes_ + capacity <= most_) {
            text.clear();
            texts_.insert(std::lower_bound(texts_.begin(), texts_.end(), capacity, holds_less), std::move(text));
            bytes_ += capacity;
        }
    }
    std::string().swap(text);  // not kept: freed here, outside the lock
}

}  // namespace runtrail
