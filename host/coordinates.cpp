#include "host/coordinates.h"

namespace {

VRect widen(const Rect& r) {
    return VRect{r.top, r.left, r.bottom, r.right};
}

Rect narrow(const VRect& r) {
    return Rect{static_cast<int16_t>(r.top), static_cast<int16_t>(r.left),
                static_cast<int16_t>(r.bottom), static_cast<int16_t>(r.right)};
}

} // namespace

bool uses_32bit_coordinates(const FilterRecord& record) {
    return record.bigDocumentData != nullptr &&
           record.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

VRect read_filter_rect(const FilterRecord& record) {
    return uses_32bit_coordinates(record) ? record.bigDocumentData->filterRect32
                                          : widen(record.filterRect);
}

VRect read_out_rect(const FilterRecord& record) {
    return uses_32bit_coordinates(record) ? record.bigDocumentData->outRect32
                                          : widen(record.outRect);
}

void write_in_rect(FilterRecord& record, const VRect& rect) {
    if (uses_32bit_coordinates(record))
        record.bigDocumentData->inRect32 = rect;
    else
        record.inRect = narrow(rect);
}

void write_out_rect(FilterRecord& record, const VRect& rect) {
    if (uses_32bit_coordinates(record))
        record.bigDocumentData->outRect32 = rect;
    else
        record.outRect = narrow(rect);
}

void write_mask_rect(FilterRecord& record, const VRect& rect) {
    if (uses_32bit_coordinates(record))
        record.bigDocumentData->maskRect32 = rect;
    else
        record.maskRect = narrow(rect);
}
