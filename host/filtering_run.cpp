#include "host/filtering_run.h"

#include <algorithm>

#include "host/coordinates.h"
#include "host/host_codes.h"
#include "host/message_box.h"
#include "host/module_state.h"
#include "host/refusal_messages.h"
#include "host/band_transform.h"

namespace {

// Samples per pixel the image mode calls for: grey + alpha or RGB + alpha; 0 for a mode the
// filter does not handle.
int expected_planes(int16_t image_mode) {
    switch (image_mode) {
    case plugInModeGrayScale:
    case plugInModeGray16:
    case plugInModeGray32:
        return 2;
    case plugInModeRGBColor:
    case plugInModeRGB48:
    case plugInModeRGB96:
        return 4;
    default:
        return 0;
    }
}

void refuse(const FilterRecord& record, const char16_t* text) {
    const intptr_t owner = record.platformData != nullptr ? record.platformData->hwnd : 0;
    show_message_box(owner, kRefusalCaption, text);
}

void request_planes(FilterRecord& record) {
    int16_t high;
    if (record.planes == 4)
        high = 3;
    else if (record.planes == 2)
        high = 1;
    else
        return;
    record.inLoPlane = 0;
    record.outLoPlane = 0;
    record.inHiPlane = high;
    record.outHiPlane = high;
}

bool is_empty(const VRect& r) {
    return int64_t{r.bottom} <= int64_t{r.top} || int64_t{r.right} <= int64_t{r.left};
}

} // namespace

void run_filtering() {
    FilterRecord& record = *current_filter_record();

    const int planes_wanted = expected_planes(record.imageMode);
    if (planes_wanted == 0) {
        refuse(record, kColourModeRefusal);
        return;
    }
    if (record.filterCase == filterCaseFlatImageNoSelection ||
        record.filterCase == filterCaseFlatImageWithSelection) {
        refuse(record, kBackgroundRefusal);
        return;
    }
    if (record.planes != planes_wanted || record.outTileWidth == 0 || record.outTileHeight == 0) {
        write_result(filterBadParameters);
        return;
    }

    // 64-bit arithmetic throughout: a hostile rectangle must not overflow.
    const VRect area = read_filter_rect(record);
    const int64_t height = int64_t{area.bottom} - area.top;
    const int64_t width = int64_t{area.right} - area.left;

    record.inputRate = kFixedOne;
    record.maskRate = kFixedOne;

    if (width < 1) return;
    const int64_t bands = (height + kBandRows - 1) / kBandRows;
    if (bands < 1) return;

    for (int64_t band = 0; band < bands; ++band) {
        const VRect now = read_filter_rect(record);
        const int64_t band_top = int64_t{now.top} + kBandRows * band;
        const int64_t band_bottom = std::min(band_top + kBandRows, int64_t{area.bottom});
        // Only a host that moved the rectangle during the run gets here: nothing of it is left.
        if (band_top >= band_bottom) return;
        const VRect requested{static_cast<int32_t>(band_top), now.left,
                              static_cast<int32_t>(band_bottom), area.right};
        write_in_rect(record, requested);
        write_out_rect(record, requested);
        request_planes(record);

        if (record.advanceState == nullptr) {
            write_result(filterBadParameters);
            return;
        }
        const OSErr status = record.advanceState();
        write_result(status);
        if (status != noErr) return;
        if (record.outData == nullptr && !is_empty(read_out_rect(record))) {
            write_result(filterBadParameters);
            return;
        }

        transform_band(record);

        // Progress is reported as (band, bands) in 32 bits; a rectangle that tall only exists
        // in 32-bit coordinates and its count still fits, 2^32 / 8 bands at most.
        if (record.progressProc != nullptr)
            record.progressProc(static_cast<int32_t>(band + 1), static_cast<int32_t>(bands));
        if (record.abortProc != nullptr && record.abortProc() != 0) {
            write_result(userCanceledErr);
            return;
        }
    }
}
