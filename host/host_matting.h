// Which hosts composite the layer over white around the filter, as the module's filter case
// table asks. Photoshop does; Paint.NET, GIMP, IrfanView, PaintShop Pro and the open host
// libraries hand over the layer as it is stored and store what the module writes as it is,
// so for them the module does the matting itself (transform/white_matting.h).
#pragma once

#include "host/host_codes.h"
#include "host/host_records.h"

inline bool host_does_white_matting(const FilterRecord& record) {
    return record.hostSig == kPhotoshopHostSig;
}
