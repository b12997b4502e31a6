#include "tests/common/fake_filter_host.h"

#include <cstring>
#include <stdexcept>

#include "host/coordinates.h"
#include "host/host_codes.h"

namespace {

FakeFilterHost* active_host = nullptr;

OSErr advance_state_callback() {
    return active_host->advance_state();
}
void progress_callback(int32_t done, int32_t total) {
    active_host->progress_proc(done, total);
}
Boolean abort_callback() {
    return active_host->abort_proc();
}

} // namespace

FakeFilterHost::FakeFilterHost(PluginEntry e, int32_t w, int32_t h, int16_t p, int32_t d,
                               bool big_document)
    : FakeHostRecord(e, w, h, p, d, big_document) {
    image.assign(image_row_bytes() * size_t(height), 0);
    record.abortProc = abort_callback;
    record.progressProc = progress_callback;
    record.advanceState = advance_state_callback;
    active_host = this;
}

FakeFilterHost::~FakeFilterHost() {
    if (active_host == this) active_host = nullptr;
}

void FakeFilterHost::call(int16_t selector) {
    active_host = this;
    FakeHostRecord::call(selector);
}

void FakeFilterHost::run_all_selectors() {
    for (int16_t selector : {filterSelectorParameters, filterSelectorPrepare, filterSelectorStart})
        call(selector);
    finish_run();
    call(filterSelectorContinue);
    call(filterSelectorFinish);
}

void FakeFilterHost::finish_run() {
    write_back();
}

void FakeFilterHost::write_back() {
    if (!copy_bands || band_buffer_.empty()) return;
    const size_t columns = size_t(served_.right - served_.left);
    const size_t row = columns * planes * sample_size();
    const size_t pitch = row + size_t(pad_bytes);
    for (int32_t y = served_.top; y < served_.bottom; ++y) {
        const unsigned char* band_row = band_buffer_.data() + size_t(y - served_.top) * pitch;
        for (size_t i = row; i < pitch; ++i)
            if (band_row[i] != pad_value) throw std::runtime_error("a pad byte was written");
        std::memcpy(pixel(y, served_.left), band_row, row);
    }
    band_buffer_.clear();
}

OSErr FakeFilterHost::advance_state() {
    write_back();
    log.push_back("advance");
    const VRect out = read_out_rect(record);
    requested.push_back(out);
    requested_in.push_back(read_in_rect(record));
    requested_planes.push_back(record.outLoPlane * 10 + record.outHiPlane);
    // Whatever the host did to the filter rectangle, a request lies inside it as it stands.
    const VRect now = read_filter_rect(record);
    if (out.top < now.top || out.left < now.left || out.bottom > now.bottom ||
        out.right > now.right || out.bottom <= out.top || out.right <= out.left)
        throw std::runtime_error("band outside the current filter rectangle, or empty");
    if (fail_advance_at == int(requested.size())) return fail_status;
    if (null_out_data) {
        record.outData = nullptr;
        return noErr;
    }
    if (out.top < 0 || out.left < 0 || out.bottom > height || out.right > width ||
        out.bottom <= out.top || out.right <= out.left)
        throw std::runtime_error("band outside the image");
    served_ = out;
    if (!copy_bands) {
        record.outData = pixel(out.top, out.left);
        record.outRowBytes = int32_t(image_row_bytes());
    } else {
        const size_t row = size_t(out.right - out.left) * planes * sample_size();
        const size_t pitch = row + size_t(pad_bytes);
        band_buffer_.assign(pitch * size_t(out.bottom - out.top), pad_value);
        for (int32_t y = out.top; y < out.bottom; ++y)
            std::memcpy(band_buffer_.data() + size_t(y - out.top) * pitch, pixel(y, out.left), row);
        record.outData = band_buffer_.data();
        record.outRowBytes = int32_t(pitch);
    }
    if (reported_row_bytes != 0) record.outRowBytes = reported_row_bytes;
    return noErr;
}

void FakeFilterHost::progress_proc(int32_t done, int32_t total) {
    log.push_back("progress " + std::to_string(done) + "/" + std::to_string(total));
    progress.push_back({done, total});
}

Boolean FakeFilterHost::abort_proc() {
    log.push_back("abort");
    ++bands_done_;
    return abort_after_bands > 0 && bands_done_ >= abort_after_bands;
}
