#include "bfrun/job/file_flow.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// 64 rows, or fewer for rows so wide that 64 would pass 16 MiB; 2 at least.
size_t queued_rows(size_t row_bytes) {
    const size_t fit = (size_t{16} << 20) / std::max<size_t>(row_bytes, 1);
    return std::max<size_t>(2, std::min<size_t>(64, fit));
}

size_t output_row_bytes(const ImageLayout& layout, bool grey, const InkRows* ink) {
    if (ink != nullptr) return ink->output_row_bytes();
    return grey ? size_t{layout.width} * 2 * (layout.bits / 8) : layout.row_bytes;
}

} // namespace

FileFlow::FileFlow(ImageReader& reader, PngWriter& writer, bool grey_from_rgba,
                   RunObserver& observer, const PaperLevel* paper, const VRect& rect,
                   const PaperEvener* evener, InkRows* ink)
    : reader_(reader), grey_from_rgba_(grey_from_rgba), observer_(observer), paper_(paper),
      evener_(evener), ink_(ink), rect_(rect),
      queue_(output_row_bytes(reader.layout(), grey_from_rgba, ink),
             queued_rows(output_row_bytes(reader.layout(), grey_from_rgba, ink)),
             [this, &writer](const uint8_t* row) { return writer.write_row(row, write_error_); }) {
    if (grey_from_rgba) grey_row_.resize(output_row_bytes(reader.layout(), true, nullptr));
}

bool FileFlow::read_row(uint8_t* row) {
    if (!reader_.read_row(row, read_error_)) return read_failed();
    level_rows(row, rows_read_++, 1);
    if (ink_ != nullptr) ink_->keep_originals(row, 1);
    return true;
}

bool FileFlow::read_image(uint8_t* image) {
    if (!reader_.read_image(image, read_error_)) return read_failed();
    level_rows(image, 0, reader_.layout().height);
    if (ink_ != nullptr) ink_->keep_originals(image, reader_.layout().height);
    return true;
}

// Rows first..first+count-1, held from `rows` on.
void FileFlow::level_rows(uint8_t* rows, uint32_t first, uint32_t count) {
    if (paper_ == nullptr && evener_ == nullptr) return;
    const uint32_t top = static_cast<uint32_t>(rect_.top),
                   bottom = static_cast<uint32_t>(rect_.bottom);
    const size_t left = static_cast<size_t>(rect_.left), right = static_cast<size_t>(rect_.right);
    for (uint32_t y = std::max(first, top); y < std::min(first + count, bottom); ++y) {
        uint8_t* row = rows + size_t{y - first} * reader_.layout().row_bytes;
        if (evener_ != nullptr)
            evener_->apply(row, y, left, right);
        else
            paper_->apply(row, left, right);
    }
}

bool FileFlow::read_failed() {
    return observer_.fail(failure_from(read_error_));
}

bool FileFlow::write_row(const uint8_t* row) {
    if (observer_.interrupted()) return observer_.fail({kExitCanceled, "stopped by Ctrl+C"});
    if (ink_ != nullptr) row = ink_->colour(row);
    if (grey_from_rgba_ && !to_grey(row))
        return observer_.fail({kExitProtocolFault, "the module wrote colour in row " +
                                                       std::to_string(rows_written_) +
                                                       ", where its result is grey"});
    if (!queue_.push(grey_from_rgba_ ? grey_row_.data() : row))
        return observer_.fail(failure_from(write_error_));
    ++rows_written_;
    return true;
}

bool FileFlow::finish() {
    return queue_.finish() || observer_.fail(failure_from(write_error_));
}

// RGBA to grey + alpha, false at the first pixel with colour.
bool FileFlow::to_grey(const uint8_t* row) {
    const size_t width = reader_.layout().width;
    if (reader_.layout().bits == 16) {
        for (size_t x = 0; x < width; ++x) {
            uint16_t p[4];
            std::memcpy(p, row + 8 * x, 8);
            if (p[0] != p[1] || p[1] != p[2]) return false;
            std::memcpy(grey_row_.data() + 4 * x, p, 2);
            std::memcpy(grey_row_.data() + 4 * x + 2, p + 3, 2);
        }
    } else {
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* p = row + 4 * x;
            if (p[0] != p[1] || p[1] != p[2]) return false;
            grey_row_[2 * x] = p[0];
            grey_row_[2 * x + 1] = p[3];
        }
    }
    return true;
}
