#include "tests/common/fake_host_record.h"

#include "host/coordinates.h"
#include "host/host_codes.h"
#include "host/image_modes.h"

namespace {

Boolean never_abort() {
    return 0;
}
void ignore_progress(int32_t, int32_t) {}

} // namespace

FakeHostRecord::FakeHostRecord(PluginEntry e, int32_t w, int32_t h, int16_t p, int32_t d, bool b)
    : entry(e), width(w), height(h), planes(p), depth(d), big_document(b) {
    fill_record();
}

void FakeHostRecord::fill_record() {
    record = FilterRecord{};
    big = BigDocumentStruct{};
    record.abortProc = never_abort;
    record.progressProc = ignore_progress;
    record.imageSize = Point{int16_t(height), int16_t(width)};
    record.wholeSize = record.imageSize;
    record.planes = planes;
    record.depth = depth;
    record.imageMode = mode_for_planes(planes, depth);
    record.filterCase = filterCaseEditableTransparencyNoSelection;
    record.hostSig = kPhotoshopHostSig;
    record.outTileHeight = 256;
    record.outTileWidth = 256;
    // Not 1.0, so that the module's own write shows.
    record.inputRate = 0x1234;
    record.maskRate = 0x5678;
    platform.hwnd = kFakeHostWindow;
    record.platformData = &platform;
    if (big_document) {
        big.imageSize32 = VPoint{height, width};
        big.wholeSize32 = big.imageSize32;
        record.bigDocumentData = &big;
    }
    set_filter_rect(0, 0, height, width);
}

void FakeHostRecord::set_filter_rect(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    big.filterRect32 = VRect{top, left, bottom, right};
    record.filterRect = low_16_bits(big.filterRect32);
}

void FakeHostRecord::call(int16_t selector) {
    entry(selector, &record, data, &result);
}
