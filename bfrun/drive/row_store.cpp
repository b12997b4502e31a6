#include "bfrun/drive/row_store.h"

RowStore::RowStore(uint32_t width, uint32_t height, int channels, int bits, bool whole,
                   RowFlow& flow)
    : width_(static_cast<int32_t>(width)), height_(static_cast<int32_t>(height)),
      channels_(channels), bits_(bits), row_bytes_(size_t{width} * channels * (bits / 8)),
      whole_(whole), flow_(flow) {}

bool RowStore::load() {
    if (!whole_) return true;
    image_.resize(row_bytes_ * static_cast<size_t>(height_));
    peak_rows_ = static_cast<size_t>(height_);
    return flow_.read_image(image_.data());
}

uint8_t* RowStore::row(int32_t y) {
    if (whole_) return image_.data() + static_cast<size_t>(y) * row_bytes_;
    return window_[static_cast<size_t>(y - first_)].data();
}

bool RowStore::write_front() {
    if (!window_.empty()) {
        const bool ok = flow_.write_row(window_.front().data());
        spare_.push_back(std::move(window_.front()));
        window_.pop_front();
        ++first_;
        return ok;
    }
    // A row no request reached: straight from the reader to the writer.
    if (spare_.empty()) spare_.emplace_back(row_bytes_);
    std::vector<uint8_t>& passing = spare_.back();
    ++first_;
    return flow_.read_row(passing.data()) && flow_.write_row(passing.data());
}

Reach RowStore::reach(int32_t top, int32_t bottom) {
    if (whole_) return Reach::ready;
    if (top < first_) return Reach::rows_gone;
    while (first_ < top)
        if (!write_front()) return Reach::failed;
    while (first_ + static_cast<int32_t>(window_.size()) < bottom) {
        std::vector<uint8_t> row;
        if (!spare_.empty()) {
            row = std::move(spare_.back());
            spare_.pop_back();
        } else {
            row.resize(row_bytes_);
        }
        if (!flow_.read_row(row.data())) return Reach::failed;
        window_.push_back(std::move(row));
    }
    if (window_.size() > peak_rows_) peak_rows_ = window_.size();
    return Reach::ready;
}

bool RowStore::release_all() {
    if (whole_) {
        for (; first_ < height_; ++first_)
            if (!flow_.write_row(image_.data() + static_cast<size_t>(first_) * row_bytes_))
                return false;
        return true;
    }
    while (first_ < height_)
        if (!write_front()) return false;
    return true;
}
