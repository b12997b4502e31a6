// A host for the module's tests: owns an image, hands the module the record of a host for it
// (fake_host_record.h), serves advanceState by pointing outData into the image (or into a band
// buffer with padded rows) and logs every call the module makes back to it. A request that is
// empty, or outside the image or the filter rectangle as it stands, throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/fake_host_record.h"
#include "transform/samples.h"

struct FakeFilterHost : FakeHostRecord {
    // The image: width x height pixels of `planes` samples of depth/8 bytes, rows packed.
    std::vector<unsigned char> image;

    // How bands are served: false points outData into the image (pitch = image row);
    // true copies the band into its own buffer whose rows end in `pad_bytes` pad bytes, and
    // copies it back on the next request or at the end (finish_run()).
    bool copy_bands = false;
    int32_t pad_bytes = 0;
    unsigned char pad_value = 0xA5;
    // A misreported pitch: outRowBytes is set to this when nonzero.
    int32_t reported_row_bytes = 0;

    // Behaviour on demand.
    int abort_after_bands = -1; // abort poll answers true from this band on (1-based)
    int fail_advance_at = -1;   // the N-th advanceState (1-based) returns fail_status
    OSErr fail_status = -108;
    bool null_out_data = false; // advanceState succeeds but hands back no buffer

    // What the module did.
    std::vector<std::string> log; // "advance", "progress d/t", "abort" in call order
    std::vector<VRect> requested; // the outRect of each advanceState, as the host read it
    std::vector<VRect> requested_in;
    std::vector<int> requested_planes; // lo * 10 + hi of the out planes at each request
    std::vector<std::vector<int32_t>> progress;

    // The record as FakeHostRecord fills it, with this host's callbacks; the image all zero.
    FakeFilterHost(PluginEntry entry, int32_t width, int32_t height, int16_t planes = 4,
                   int32_t depth = 8, bool big_document = false);
    ~FakeFilterHost();

    size_t sample_size() const { return sample_size_for_depth(depth); }
    size_t image_row_bytes() const { return size_t(width) * planes * sample_size(); }
    unsigned char* pixel(int32_t row, int32_t column) {
        return image.data() + size_t(row) * image_row_bytes() +
               size_t(column) * planes * sample_size();
    }

    // Runs selectors 1, 2, 3 then 4 and 5 through the module, as a host does for one filtering.
    void run_all_selectors();
    void call(int16_t selector);
    void finish_run(); // writes back the band buffer in copy mode

    // Called by the static callbacks.
    OSErr advance_state();
    void progress_proc(int32_t done, int32_t total);
    Boolean abort_proc();

  private:
    void write_back();
    VRect served_{};
    std::vector<unsigned char> band_buffer_;
    int bands_done_ = 0;
};
