#include "host/filtering_run.h"

#include <algorithm>

#include "host/host_codes.h"
#include "host/message_box.h"
#include "host/module_state.h"
#include "host/refusal_messages.h"
#include "host/band_transform.h"
#include "host/host_matting.h"
#include "host/coordinates.h"
#include "host/image_modes.h"
#include "host/rectangles.h"

namespace {

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

// Band `band` of the run: rows from the rectangle's top as it stands now, at most kBandRows of
// them, across the full width. A host may move or shrink the rectangle between bands, so the
// band is kept inside both the rectangle read at the start and the one read now; for a
// rectangle that does not move that changes nothing. False when nothing of the band is left in
// either direction. The sums are made in 64 bits, where none overflows; a band that is left
// lies inside `start` and so fits 32 bits again.
bool band_rect(const VRect& start, const VRect& now, int64_t band, VRect& out) {
    // The band's top is never above the current top; only the starting one can cut it.
    const int64_t top = std::max(int64_t{now.top} + kBandRows * band, int64_t{start.top});
    const int64_t bottom = std::min(
        {int64_t{now.top} + kBandRows * (band + 1), int64_t{start.bottom}, int64_t{now.bottom}});
    const int32_t left = std::max(start.left, now.left);
    const int32_t right = std::min(start.right, now.right);
    if (top >= bottom || left >= right) return false;
    out = VRect{static_cast<int32_t>(top), left, static_cast<int32_t>(bottom), right};
    return true;
}

// The checks, then every band requested, transformed and reported in turn.
void filter_bands(FilterRecord& record, bool host_mattes) {
    const int planes_wanted = planes_for_mode(record.imageMode);
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
        // Only a host that moved or shrank the rectangle during the run can leave nothing of
        // a band: then nothing more is asked for and the result word stays as it is.
        VRect requested;
        if (!band_rect(area, read_filter_rect(record), band, requested)) return;
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

        transform_band(record, host_mattes);

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

} // namespace

void clear_rectangles(FilterRecord& record) {
    const VRect none{0, 0, 0, 0};
    write_in_rect(record, none);
    write_out_rect(record, none);
    write_mask_rect(record, none);
}

void run_filtering() {
    FilterRecord& record = *current_filter_record();
    const bool host_mattes = host_does_white_matting(record);
    filter_bands(record, host_mattes);
    // Photoshop hears that nothing is left from Continue. Other hosts store outData again
    // after Start while a rectangle is still set (GIMP's pspi first refills it from the layer,
    // and stores that over the last band), so for them nothing is left asked for on return.
    if (!host_mattes) clear_rectangles(record);
}
