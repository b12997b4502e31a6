#include "host/coordinates.h"

VRect widen_rect(const Rect& r) {
    return VRect{r.top, r.left, r.bottom, r.right};
}

Rect low_16_bits(const VRect& r) {
    return Rect{static_cast<int16_t>(r.top), static_cast<int16_t>(r.left),
                static_cast<int16_t>(r.bottom), static_cast<int16_t>(r.right)};
}

bool uses_32bit_coordinates(const FilterRecord& record) {
    return record.bigDocumentData != nullptr &&
           record.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

VRect read_filter_rect(const FilterRecord& record) {
    return uses_32bit_coordinates(record) ? record.bigDocumentData->filterRect32
                                          : widen_rect(record.filterRect);
}

VRect read_in_rect(const FilterRecord& record) {
    return uses_32bit_coordinates(record) ? record.bigDocumentData->inRect32
                                          : widen_rect(record.inRect);
}

VRect read_out_rect(const FilterRecord& record) {
    return uses_32bit_coordinates(record) ? record.bigDocumentData->outRect32
                                          : widen_rect(record.outRect);
}

VRect read_mask_rect(const FilterRecord& record) {
    return uses_32bit_coordinates(record) ? record.bigDocumentData->maskRect32
                                          : widen_rect(record.maskRect);
}

void write_in_rect(FilterRecord& record, const VRect& rect) {
    if (uses_32bit_coordinates(record))
        record.bigDocumentData->inRect32 = rect;
    else
        record.inRect = low_16_bits(rect);
}

void write_out_rect(FilterRecord& record, const VRect& rect) {
    if (uses_32bit_coordinates(record))
        record.bigDocumentData->outRect32 = rect;
    else
        record.outRect = low_16_bits(rect);
}

void write_mask_rect(FilterRecord& record, const VRect& rect) {
    if (uses_32bit_coordinates(record))
        record.bigDocumentData->maskRect32 = rect;
    else
        record.maskRect = low_16_bits(rect);
}
