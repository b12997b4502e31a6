// The record of which pixels of the filter rectangle the bands have covered.
#include "bfrun/drive/coverage.h"

#include <algorithm>

void Coverage::start(const VRect& area) {
    area_ = area;
    full_.assign(static_cast<size_t>(std::max(area.bottom - area.top, 0)), false);
    partial_.clear();
}

void Coverage::add(const VRect& band) {
    const int32_t top = std::max(band.top, area_.top);
    const int32_t bottom = std::min(band.bottom, area_.bottom);
    const int32_t left = std::max(band.left, area_.left);
    const int32_t right = std::min(band.right, area_.right);
    if (left >= right) return;
    for (int32_t y = top; y < bottom; ++y) {
        const size_t row = static_cast<size_t>(y - area_.top);
        if (full_[row]) continue;
        if (left == area_.left && right == area_.right) {
            full_[row] = true;
            continue;
        }
        auto found = std::find_if(partial_.begin(), partial_.end(),
                                  [y](const auto& entry) { return entry.first == y; });
        if (found == partial_.end()) {
            partial_.push_back({y, {}});
            found = partial_.end() - 1;
        }
        auto& spans = found->second;
        spans.push_back({left, right});
        std::sort(spans.begin(), spans.end());
        std::vector<Span> merged;
        for (const auto& span : spans) {
            if (!merged.empty() && span.first <= merged.back().second)
                merged.back().second = std::max(merged.back().second, span.second);
            else
                merged.push_back(span);
        }
        spans = merged;
        if (spans.size() == 1 && spans[0].first == area_.left && spans[0].second == area_.right) {
            full_[row] = true;
            partial_.erase(found);
        }
    }
}

bool Coverage::complete() const {
    return std::all_of(full_.begin(), full_.end(), [](bool done) { return done; });
}
