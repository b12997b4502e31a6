#include "host/band_transform.h"

#include "host/coordinates.h"
#include "host/sample_layout.h"
#include "transform/luminance_to_alpha.h"
#include "transform/white_matting.h"

void transform_band(FilterRecord& record, bool host_does_white_matting) {
    const VRect band = read_out_rect(record);
    const int64_t rows = int64_t{band.bottom} - band.top;
    const int64_t columns = int64_t{band.right} - band.left;
    if (rows <= 0 || columns <= 0) return;

    // outRowBytes is the host's row pitch; a pitch shorter than a packed row cannot be right,
    // so such rows are taken as packed back to back.
    const int64_t packed_row = packed_row_bytes(columns, record.planes, record.depth);
    const int64_t stride = record.outRowBytes >= packed_row ? record.outRowBytes : packed_row;
    const auto pitch = static_cast<ptrdiff_t>(stride);
    if (!host_does_white_matting)
        composite_over_white(record.outData, rows, columns, pitch, record.planes, record.depth);
    luminance_to_alpha(record.outData, rows, columns, pitch, record.planes, record.depth);
    if (!host_does_white_matting)
        take_off_white_matte(record.outData, rows, columns, pitch, record.planes, record.depth);
}
