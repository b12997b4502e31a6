#include "host/band_transform.h"

#include "protocol/coordinates.h"
#include "protocol/sample_layout.h"
#include "transform/luminance_to_alpha.h"

void transform_band(FilterRecord& record) {
    const VRect band = read_out_rect(record);
    const int64_t rows = int64_t{band.bottom} - band.top;
    const int64_t columns = int64_t{band.right} - band.left;
    if (rows <= 0 || columns <= 0) return;

    // outRowBytes is the host's row pitch; a pitch shorter than a packed row cannot be right,
    // so such rows are taken as packed back to back.
    const int64_t packed_row = packed_row_bytes(columns, record.planes, record.depth);
    const int64_t stride = record.outRowBytes >= packed_row ? record.outRowBytes : packed_row;
    luminance_to_alpha(record.outData, rows, columns, static_cast<ptrdiff_t>(stride), record.planes,
                       record.depth);
}
