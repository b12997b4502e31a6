// The band requests served from the row store, and the bands handed back written into it.
#include "bfrun/drive/band_server.h"

#include <algorithm>
#include <cstring>

#include "host/coordinates.h"
#include "host/rectangles.h"
#include "host/sample_layout.h"

namespace {

constexpr uint8_t kPadByte = 0xA5;

bool same_band(const BandArea& a, const BandArea& b) {
    return a.rect.top == b.rect.top && a.rect.left == b.rect.left &&
           a.rect.bottom == b.rect.bottom && a.rect.right == b.rect.right && a.lo == b.lo &&
           a.hi == b.hi;
}

bool inside_layer(const VRect& r, const RowStore& store) {
    return r.top >= 0 && r.left >= 0 && r.bottom <= store.height() && r.right <= store.width();
}

bool planes_valid(int lo, int hi, const RowStore& store) {
    return lo >= 0 && lo <= hi && hi < store.channels();
}

size_t band_row_bytes(const BandArea& band, int32_t depth) {
    return static_cast<size_t>(packed_row_bytes(
        band.rect.right - band.rect.left, static_cast<int16_t>(band.hi - band.lo + 1), depth));
}

} // namespace

BandServer::BandServer(RowStore& store, const RunSettings& settings)
    : store_(store), settings_(settings) {
    coverage_.start(settings.filter_rect);
}

void BandServer::write_back_pending() {
    if (!out_pending_) return;
    out_pending_ = false;
    write_back_band(store_, out_band_, settings_.depth, settings_.output_matte, out_buffer_.data(),
                    out_row_bytes_);
    const size_t row_bytes = static_cast<size_t>(out_row_bytes_);
    const size_t tight = static_cast<size_t>(out_packed_row_);
    const size_t rows = static_cast<size_t>(out_band_.rect.bottom - out_band_.rect.top);
    result_.resize(tight * rows);
    for (size_t y = 0; y < rows; ++y) {
        const uint8_t* row = out_buffer_.data() + y * row_bytes;
        std::memcpy(result_.data() + y * tight, row, tight);
        for (size_t at = tight; at < row_bytes; ++at)
            if (row[at] != kPadByte) pad_intact_ = false;
    }
    result_band_ = out_band_;
    result_kept_ = true;
    coverage_.add(out_band_.rect);
}

// Fills `buffer` (rows row_bytes apart) with the band: the module's own last result when it
// asks for that band again, else from the store.
void BandServer::fill_band(const BandArea& band, Matte matte, uint8_t* buffer, int32_t row_bytes,
                           bool result_allowed) {
    if (result_allowed && result_kept_ && same_band(band, result_band_)) {
        const size_t tight = band_row_bytes(band, settings_.depth);
        for (int32_t y = 0; y < band.rect.bottom - band.rect.top; ++y)
            std::memcpy(buffer + static_cast<size_t>(y) * row_bytes, result_.data() + y * tight,
                        tight);
        return;
    }
    deliver_band(store_, band, settings_.depth, matte, buffer, row_bytes);
}

Served BandServer::serve(FilterRecord& record) {
    write_back_pending();
    const BandArea in{read_in_rect(record), record.inLoPlane, record.inHiPlane};
    const BandArea out{read_out_rect(record), record.outLoPlane, record.outHiPlane};
    const bool want_in = !is_empty(in.rect), want_out = !is_empty(out.rect);
    record.inData = nullptr;
    record.outData = nullptr;
    if (want_in && (!inside_layer(in.rect, store_) || !planes_valid(in.lo, in.hi, store_))) {
        fault_ = "input rectangle or planes outside the layer";
        return Served::bad_request;
    }
    if (want_out && (!inside_layer(out.rect, store_) || !planes_valid(out.lo, out.hi, store_))) {
        fault_ = "output rectangle or planes outside the layer";
        return Served::bad_request;
    }
    if (!want_in && !want_out) return Served::ready;

    const int32_t top =
        std::min(want_in ? in.rect.top : out.rect.top, want_out ? out.rect.top : in.rect.top);
    const int32_t bottom = std::max(want_in ? in.rect.bottom : out.rect.bottom,
                                    want_out ? out.rect.bottom : in.rect.bottom);
    switch (store_.reach(top, bottom)) {
    case Reach::ready:
        break;
    case Reach::rows_gone:
        return Served::rows_gone;
    case Reach::failed:
        return Served::failed;
    }

    if (want_in) {
        const int32_t row_bytes = static_cast<int32_t>(band_row_bytes(in, settings_.depth));
        in_buffer_.assign(static_cast<size_t>(row_bytes) * (in.rect.bottom - in.rect.top), 0);
        fill_band(in, settings_.input_matte, in_buffer_.data(), row_bytes,
                  settings_.input_matte == settings_.output_matte);
        record.inData = in_buffer_.data();
        record.inRowBytes = row_bytes;
    }
    if (want_out) {
        out_band_ = out;
        const int32_t tight = static_cast<int32_t>(band_row_bytes(out, settings_.depth));
        const size_t rows = static_cast<size_t>(out.rect.bottom - out.rect.top);
        out_packed_row_ = tight;
        out_row_bytes_ = tight + settings_.pad_bytes;
        out_buffer_.assign(static_cast<size_t>(out_row_bytes_) * rows, kPadByte);
        if (settings_.copy_source_to_output) {
            fill_band(out, settings_.output_matte, out_buffer_.data(), out_row_bytes_, true);
        } else {
            for (size_t y = 0; y < rows; ++y)
                std::memset(out_buffer_.data() + y * out_row_bytes_, 0, tight);
        }
        out_pending_ = true;
        record.outData = out_buffer_.data();
        record.outRowBytes = out_row_bytes_;
    }
    return Served::ready;
}
