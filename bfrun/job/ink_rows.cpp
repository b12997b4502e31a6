#include "bfrun/job/ink_rows.h"

InkRows::InkRows(const Ink& ink, const ImageLayout& layout, int output_channels, const VRect& rect)
    : ink_(ink), layout_(layout), output_channels_(output_channels), rect_(rect),
      out_(size_t{layout.width} * static_cast<size_t>(output_channels) * (layout.bits / 8)) {}

void InkRows::keep_originals(const uint8_t* rows, size_t count) {
    if (ink_.kind != InkKind::keep) return;
    for (size_t r = 0; r < count; ++r) {
        std::vector<uint8_t> row;
        if (!spare_.empty()) {
            row = std::move(spare_.back());
            spare_.pop_back();
        }
        row.assign(rows + r * layout_.row_bytes, rows + (r + 1) * layout_.row_bytes);
        originals_.push_back(std::move(row));
    }
}

const uint8_t* InkRows::colour(const uint8_t* row) {
    const uint32_t y = next_row_++;
    const bool inside =
        y >= static_cast<uint32_t>(rect_.top) && y < static_cast<uint32_t>(rect_.bottom);
    const uint8_t* original = nullptr;
    if (ink_.kind == InkKind::keep && !originals_.empty()) {
        spare_.push_back(std::move(originals_.front()));
        originals_.pop_front();
        original = spare_.back().data();
    }
    // keep with no original would be a row written before it was read, which the row store
    // never does; the row then goes out as the module left it.
    const bool coloured = inside && (ink_.kind == InkKind::colour || original != nullptr);
    ink_row(ink_, row, original, out_.data(), layout_.width, layout_.channels, output_channels_,
            layout_.bits, coloured ? static_cast<size_t>(rect_.left) : 0,
            coloured ? static_cast<size_t>(rect_.right) : 0);
    return out_.data();
}
