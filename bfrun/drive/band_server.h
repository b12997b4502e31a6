// Serving the module's band requests from the row store: each advanceState first writes back
// the band the module had (un-matted, pad bytes checked, its rectangle counted as covered),
// then puts the rectangles and planes it asks for now in inData and outData, matted as the
// filter case asks. A band asked for again right after it was handed back is served from that
// result, not matted a second time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "bfrun/drive/band_delivery.h"
#include "bfrun/drive/coverage.h"
#include "bfrun/drive/row_store.h"
#include "bfrun/drive/run_settings.h"

enum class Served {
    ready,
    bad_request, // a rectangle or planes outside the layer; fault() says which
    rows_gone,   // rows asked for were already written (the store's Reach::rows_gone)
    failed,      // the store could not read or write a row
};

class BandServer {
  public:
    BandServer(RowStore& store, const RunSettings& settings);

    // Writes back the band the module had, then prepares the bands the record asks for now.
    Served serve(FilterRecord& record);
    // Writes back the band the module had, if any.
    void write_back_pending();

    const std::string& fault() const { return fault_; }
    // No pad byte of outData was changed, in any band written back.
    bool pad_intact() const { return pad_intact_; }
    // Every pixel of the filter rectangle was written back.
    bool covered() const { return coverage_.complete(); }

  private:
    void fill_band(const BandArea& band, Matte matte, uint8_t* buffer, int32_t row_bytes,
                   bool result_allowed);

    RowStore& store_;
    const RunSettings& settings_;
    std::string fault_;
    bool pad_intact_ = true;
    Coverage coverage_;
    std::vector<uint8_t> in_buffer_;
    // The output band the module holds now.
    bool out_pending_ = false;
    BandArea out_band_{};
    int32_t out_row_bytes_ = 0;  // packed row + pad bytes
    int32_t out_packed_row_ = 0; // bytes of samples in a row
    std::vector<uint8_t> out_buffer_;
    // The last band the module handed back, as it handed it back (rows packed).
    bool result_kept_ = false;
    BandArea result_band_{};
    std::vector<uint8_t> result_;
};
