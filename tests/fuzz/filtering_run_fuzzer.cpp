// Fuzz target: PluginMain under a hostile host. The input chooses the selectors, the record
// (image mode, filter case, planes, depth, 16- and 32-bit rectangles with their extremes, the
// big-document record and its flag, tile sizes, null callbacks), and at every callback what the
// host does: the status advanceState returns, how it delivers the band (row pitch tight,
// padded, short or huge, a band cut short, an empty one, no buffer), whether it moves, shrinks
// or empties the filter rectangle or switches coordinates, and when the user aborts.
//
// Checked on every input, and the input aborts when one fails:
//   - every request is non-empty and lies inside the filter rectangle as it stands and as it
//     was at the start; input and output rectangles and planes agree; an unmoved rectangle
//     gets exactly its bands, all of them unless the run was stopped;
//   - the module writes no record member but those it may write for the selector, no sample
//     outside a delivered band (canaries before it, pad bytes between rows; AddressSanitizer
//     guards the ends), and no sample of a band it must leave alone;
//   - every delivered pixel it transforms equals the plain reference (plain_pixel.h);
//   - the result word is left as the host set it, or is 0, -30100, -128 or the status
//     advanceState just returned, each exactly when the run ends that way;
//   - a refusal shows one message box and changes nothing: no request, no record member, no
//     pixel, no result.
#include <FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "about/about_box.h"
#include "host/host_codes.h"
#include "host/host_records.h"
#include "host/message_box.h"
#include "host/system_browser.h"
#include "host/plugin_main.h"
#include "tests/common/fake_host_record.h"
#include "tests/fuzz/plain_pixel.h"

namespace {

[[noreturn]] void violated(const char* what, int line) {
    std::fprintf(stderr, "filtering_run_fuzzer.cpp:%d: invariant violated: %s\n", line, what);
    std::abort();
}
#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition)) violated(#condition, __LINE__);                                          \
    } while (0)

constexpr int kMaxRequests = 24;    // the host stops a run after this many bands
constexpr int64_t kMaxColumns = 40; // and delivers at most this many columns of one
constexpr unsigned char kCanary = 0xC3;
constexpr unsigned char kPad = 0xA5;

bool is_empty(const VRect& r) {
    return r.bottom <= r.top || r.right <= r.left;
}
bool inside(const VRect& inner, const VRect& outer) {
    return inner.top >= outer.top && inner.left >= outer.left && inner.bottom <= outer.bottom &&
           inner.right <= outer.right;
}
bool same(const VRect& a, const VRect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}
VRect widen(const Rect& r) {
    return VRect{r.top, r.left, r.bottom, r.right};
}
Rect narrow(const VRect& r) {
    return Rect{static_cast<int16_t>(r.top), static_cast<int16_t>(r.left),
                static_cast<int16_t>(r.bottom), static_cast<int16_t>(r.right)};
}

// One band as the host delivered it, in a buffer of its own that ends with the last sample (so
// that AddressSanitizer guards both ends), after `lead` canary bytes that misalign it.
struct Band {
    std::unique_ptr<unsigned char[]> storage;
    size_t size = 0, lead = 0;
    int64_t rows = 0, columns = 0, row_bytes = 0, pitch = 0;
    int planes = 0;
    int32_t depth = 0;
    std::vector<unsigned char> delivered; // the whole buffer as handed over
    bool transform = true;                // false: the module must leave it as delivered
};

// Every delivered band must be, whenever the host looks, exactly as the filter leaves it.
void check_band(const Band& band) {
    const unsigned char* now = band.storage.get();
    for (size_t i = 0; i < band.lead; ++i)
        REQUIRE(now[i] == kCanary);
    const int pixel_bytes = band.planes * plain_sample_bytes(band.depth);
    unsigned char want[16];
    for (int64_t y = 0; y < band.rows; ++y) {
        const size_t row = band.lead + static_cast<size_t>(y * band.pitch);
        for (int64_t x = 0; x < band.columns; ++x) {
            const size_t at = row + static_cast<size_t>(x * pixel_bytes);
            if (band.transform)
                plain_pixel(&band.delivered[at], want, band.planes, band.depth);
            else
                std::memcpy(want, &band.delivered[at], static_cast<size_t>(pixel_bytes));
            for (int s = 0; s < band.planes; ++s) {
                const int offset = s * plain_sample_bytes(band.depth);
                REQUIRE(plain_samples_agree(now + at + offset, want + offset, band.depth));
            }
        }
        // Pad bytes after the row, up to the next one.
        if (y + 1 < band.rows)
            for (int64_t i = band.row_bytes; i < band.pitch; ++i)
                REQUIRE(now[row + static_cast<size_t>(i)] == kPad);
    }
}

// What the host expects of a selector's writes to its records.
enum class Writes { nothing, band_requests, cleared_rectangles };

// The record, the big-document record and the result word are the fake host's; the input
// then chooses what set_up_record() says.
struct Host : FakeHostRecord {
    FuzzedDataProvider& fuzz;
    bool has_big = false;
    bool pass_result = true;

    // The call in progress.
    FilterRecord record_before{};
    BigDocumentStruct big_before{};
    std::vector<Band> bands;
    VRect start_rect{};
    int64_t band_count = 0;
    int requests = 0;
    bool rect_changed = false;
    bool run_over = false;    // the host stopped the run: no callback may follow
    int16_t expected_end = 0; // the result the run must end with, once run_over
    bool expect_end = false;
    int message_boxes = 0, about_boxes = 0;
    intptr_t last_owner = 0;

    explicit Host(FuzzedDataProvider& f) : FakeHostRecord(PluginMain, 0, 0), fuzz(f) {}

    bool uses_32bit() const { return has_big && big.PluginUsing32BitCoordinates != 0; }
    VRect filter_rect() const { return uses_32bit() ? big.filterRect32 : widen(record.filterRect); }
    VRect out_rect() const { return uses_32bit() ? big.outRect32 : widen(record.outRect); }
    VRect in_rect() const { return uses_32bit() ? big.inRect32 : widen(record.inRect); }
    VRect mask_rect() const { return uses_32bit() ? big.maskRect32 : widen(record.maskRect); }
    void set_out_rect(const VRect& r) {
        if (uses_32bit())
            big.outRect32 = r;
        else
            record.outRect = narrow(r);
    }

    void remember_records() {
        std::memcpy(&record_before, &record, sizeof record);
        std::memcpy(&big_before, &big, sizeof big);
    }

    // Since the host last looked, the module wrote only what `writes` allows.
    void check_writes(Writes writes) const {
        FilterRecord r;
        BigDocumentStruct b;
        std::memcpy(&r, &record, sizeof r);
        std::memcpy(&b, &big, sizeof b);
        if (writes == Writes::band_requests) {
            r.inLoPlane = record_before.inLoPlane;
            r.inHiPlane = record_before.inHiPlane;
            r.outLoPlane = record_before.outLoPlane;
            r.outHiPlane = record_before.outHiPlane;
            r.inputRate = record_before.inputRate;
            r.maskRate = record_before.maskRate;
        }
        if (writes != Writes::nothing) {
            if (uses_32bit()) {
                b.inRect32 = big_before.inRect32;
                b.outRect32 = big_before.outRect32;
            } else {
                r.inRect = record_before.inRect;
                r.outRect = record_before.outRect;
            }
        }
        if (writes == Writes::cleared_rectangles) {
            if (uses_32bit())
                b.maskRect32 = big_before.maskRect32;
            else
                r.maskRect = record_before.maskRect;
        }
        REQUIRE(std::memcmp(&r, &record_before, sizeof r) == 0);
        REQUIRE(std::memcmp(&b, &big_before, sizeof b) == 0);
    }

    // Entry into any callback of the start selector: the band delivered last is done by now.
    // (Earlier ones are looked at again when the call returns.)
    void callback_entered() {
        REQUIRE(!run_over);
        check_writes(Writes::band_requests);
        if (!bands.empty()) check_band(bands.back());
    }

    // --- the host's choices ---------------------------------------------------------------

    int32_t coordinate() {
        switch (fuzz.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return fuzz.ConsumeIntegralInRange(-20, 340);
        case 1:
            return fuzz.PickValueInArray<int32_t>({INT32_MIN, INT32_MIN + 1, INT32_MAX,
                                                   INT32_MAX - 1, INT16_MIN, INT16_MAX, -1, 0,
                                                   INT16_MAX + 1, INT16_MIN - 1});
        case 2:
            return fuzz.ConsumeIntegral<int16_t>();
        default:
            return fuzz.ConsumeIntegral<int32_t>();
        }
    }

    VRect rectangle() {
        if (fuzz.ConsumeIntegralInRange(0, 3) != 3) {
            // An ordinary one: somewhere near the origin, up to 40 rows and 40 columns.
            const int32_t top = fuzz.ConsumeIntegralInRange(0, 300);
            const int32_t left = fuzz.ConsumeIntegralInRange(0, 300);
            return VRect{top, left, top + fuzz.ConsumeIntegralInRange(1, 40),
                         left + fuzz.ConsumeIntegralInRange(1, 40)};
        }
        return VRect{coordinate(), coordinate(), coordinate(), coordinate()};
    }

    // The host changes the filter rectangle, or the coordinates in use, between bands. (Not
    // the coordinates while a delivered band is described in them: the band is read after.)
    void maybe_move_rectangle(bool may_switch_coordinates) {
        if (fuzz.ConsumeIntegralInRange(0, 5) != 5) return;
        rect_changed = true;
        const VRect now = filter_rect();
        VRect moved;
        switch (fuzz.ConsumeIntegralInRange(0, 3)) {
        case 0: { // each edge moved by a few pixels
            auto nudge = [&](int32_t v) {
                return static_cast<int32_t>(std::clamp<int64_t>(
                    int64_t{v} + fuzz.ConsumeIntegralInRange(-12, 12), INT32_MIN, INT32_MAX));
            };
            moved = VRect{nudge(now.top), nudge(now.left), nudge(now.bottom), nudge(now.right)};
            break;
        }
        case 1:
            moved = rectangle();
            break;
        case 2: // emptied
            moved = VRect{now.top, now.left, now.top, now.right};
            break;
        default: // the big-document record's flag switched: the other rectangle counts now
            if (has_big && may_switch_coordinates)
                big.PluginUsing32BitCoordinates = fuzz.ConsumeBool() ? 0 : 1;
            return;
        }
        if (uses_32bit())
            big.filterRect32 = moved;
        else
            record.filterRect = narrow(moved);
    }

    // --- callbacks ------------------------------------------------------------------------

    OSErr advance_state() {
        callback_entered();
        ++requests;
        REQUIRE(requests <= band_count);
        const VRect out = out_rect();
        // The request.
        REQUIRE(!is_empty(out));
        REQUIRE(same(out, in_rect()));
        REQUIRE(inside(out, filter_rect()));
        REQUIRE(inside(out, start_rect));
        if (!rect_changed) {
            const int64_t top = int64_t{start_rect.top} + 8 * int64_t{requests - 1};
            REQUIRE(out.top == top && out.left == start_rect.left &&
                    out.bottom == std::min<int64_t>(top + 8, start_rect.bottom) &&
                    out.right == start_rect.right);
        }
        REQUIRE(record.inputRate == 0x10000 && record.maskRate == 0x10000);
        if (record.planes == 4 || record.planes == 2) {
            const int16_t high = static_cast<int16_t>(record.planes - 1);
            REQUIRE(record.inLoPlane == 0 && record.outLoPlane == 0);
            REQUIRE(record.inHiPlane == high && record.outHiPlane == high);
        }

        // The answer.
        OSErr status = noErr;
        if (requests == kMaxRequests)
            status = -1;
        else if (fuzz.ConsumeIntegralInRange(0, 15) == 15)
            status = fuzz.ConsumeIntegral<int16_t>();
        if (status != noErr) {
            stop_run(status);
            // A host may fill the buffer all the same; the module must not transform it.
            if (fuzz.ConsumeBool()) deliver(out, false);
            remember_records();
            return status;
        }
        if (fuzz.ConsumeIntegralInRange(0, 15) == 15) // planes changed for this band
            record.planes = fuzz.PickValueInArray<int16_t>({4, 2, 3, 1});
        deliver(out, true);
        maybe_move_rectangle(false);
        remember_records();
        return noErr;
    }

    // Hands the band over: `transform` says whether the module must transform it.
    void deliver(const VRect& requested, bool transform) {
        Band band;
        band.transform = transform;
        band.planes = record.planes;
        band.depth = record.depth;
        const int pixel_bytes = band.planes * plain_sample_bytes(band.depth);
        band.rows = int64_t{requested.bottom} - requested.top;
        band.columns = std::min(int64_t{requested.right} - requested.left, kMaxColumns);
        if (fuzz.ConsumeIntegralInRange(0, 7) == 7) { // less than asked for
            band.rows = fuzz.ConsumeIntegralInRange<int64_t>(0, band.rows);
            band.columns = fuzz.ConsumeIntegralInRange<int64_t>(0, band.columns);
        }
        band.row_bytes = band.columns * pixel_bytes;
        // The row pitch: tight, padded, short (a pitch below a packed row, rows packed all the
        // same) or huge (only one row then, so that it is true).
        int64_t reported = band.row_bytes;
        band.pitch = band.row_bytes;
        switch (fuzz.ConsumeIntegralInRange(0, 3)) {
        case 1:
            band.pitch += fuzz.ConsumeIntegralInRange(1, 33);
            reported = band.pitch;
            break;
        case 2:
            reported = fuzz.ConsumeIntegralInRange<int64_t>(INT32_MIN, band.row_bytes);
            break;
        case 3:
            reported = fuzz.ConsumeIntegralInRange<int64_t>(band.row_bytes, INT32_MAX);
            band.rows = std::min<int64_t>(band.rows, 1);
            break;
        default:
            break;
        }
        const VRect delivered{requested.top, requested.left,
                              static_cast<int32_t>(requested.top + band.rows),
                              static_cast<int32_t>(requested.left + band.columns)};
        set_out_rect(delivered);
        record.outRowBytes = static_cast<int32_t>(reported);
        if (is_empty(delivered)) {
            record.outData = fuzz.ConsumeBool() ? nullptr : &band_placeholder;
            return;
        }
        if (transform && fuzz.ConsumeIntegralInRange(0, 31) == 31) { // no buffer, yet pixels
            record.outData = nullptr;
            stop_run(filterBadParameters);
            return;
        }
        band.lead = fuzz.ConsumeIntegralInRange<size_t>(0, 7);
        band.size = band.lead + static_cast<size_t>((band.rows - 1) * band.pitch + band.row_bytes);
        band.storage.reset(new unsigned char[band.size]);
        unsigned char* p = band.storage.get();
        std::memset(p, kCanary, band.lead);
        std::memset(p + band.lead, kPad, band.size - band.lead);
        const std::vector<unsigned char> samples =
            fuzz.ConsumeBytes<unsigned char>(static_cast<size_t>(band.rows * band.row_bytes));
        size_t next = 0;
        for (int64_t y = 0; y < band.rows; ++y)
            for (int64_t i = 0; i < band.row_bytes; ++i, ++next)
                p[band.lead + static_cast<size_t>(y * band.pitch + i)] =
                    next < samples.size() ? samples[next]
                                          : static_cast<unsigned char>(next * 151 + 7);
        band.delivered.assign(p, p + band.size);
        record.outData = p + band.lead;
        bands.push_back(std::move(band));
    }

    void stop_run(int16_t end) {
        run_over = true;
        expect_end = true;
        expected_end = end;
    }

    void progress(int32_t done, int32_t total) {
        callback_entered();
        REQUIRE(done == requests);
        REQUIRE(total == band_count);
        maybe_move_rectangle(true);
        remember_records();
    }

    Boolean abort_poll() {
        callback_entered();
        const bool stop = fuzz.ConsumeIntegralInRange(0, 11) == 11;
        if (stop) stop_run(userCanceledErr);
        if (!stop) maybe_move_rectangle(true);
        remember_records();
        return stop ? 1 : 0;
    }

    // --- one call of PluginMain -----------------------------------------------------------

    void call(int16_t selector) {
        std::memcpy(&record_before, &record, sizeof record);
        std::memcpy(&big_before, &big, sizeof big);
        if (has_big) big_before.PluginUsing32BitCoordinates = 1; // as every call marks it
        bands.clear();
        requests = 0;
        rect_changed = false;
        run_over = false;
        expect_end = false;
        message_boxes = 0;
        start_rect = has_big ? big.filterRect32 : widen(record.filterRect);
        const int64_t height = int64_t{start_rect.bottom} - start_rect.top;
        const int64_t width = int64_t{start_rect.right} - start_rect.left;
        band_count = width < 1 || height < 1 ? 0 : (height + 7) / 8;
        const int16_t result_before = result;
        intptr_t data = 0x7777;

        PluginMain(selector, &record, &data, pass_result ? &result : nullptr);

        REQUIRE(data == 0x7777);
        if (selector == filterSelectorStart) {
            check_writes(Writes::band_requests);
            for (const Band& band : bands)
                check_band(band);
            check_start_outcome(result_before);
        } else {
            check_writes(selector == filterSelectorContinue ? Writes::cleared_rectangles
                                                            : Writes::nothing);
            REQUIRE(result == result_before);
            REQUIRE(message_boxes == 0);
            if (selector == filterSelectorContinue) {
                const VRect none{0, 0, 0, 0};
                REQUIRE(same(in_rect(), none) && same(out_rect(), none) && same(mask_rect(), none));
            }
        }
    }

    void check_start_outcome(int16_t result_before) {
        if (message_boxes > 0) {
            REQUIRE(message_boxes == 1);
            REQUIRE(requests == 0);
            check_writes(Writes::nothing);
            REQUIRE(last_owner == (record.platformData != nullptr ? kFakeHostWindow : 0));
        }
        if (!pass_result) {
            REQUIRE(result == result_before);
            return;
        }
        if (expect_end) {
            REQUIRE(result == expected_end);
        } else if (requests > 0) {
            // Nothing stopped the run: it ends with the last status, and an unmoved rectangle
            // was covered to its last band.
            REQUIRE(result == noErr);
            if (!rect_changed) REQUIRE(requests == band_count);
        } else {
            REQUIRE(result == result_before || result == filterBadParameters);
            if (result == filterBadParameters) REQUIRE(message_boxes == 0);
        }
    }

    void call_about() {
        AboutRecord about;
        std::memset(&about, 0x3C, sizeof about);
        about.platformData = fuzz.ConsumeBool() ? nullptr : &platform;
        about.sSPBasic = nullptr;
        AboutRecord before;
        std::memcpy(&before, &about, sizeof about);
        const int16_t result_before = result;
        about_boxes = 0;
        PluginMain(filterSelectorAbout, &about, nullptr, pass_result ? &result : nullptr);
        REQUIRE(std::memcmp(&before, &about, sizeof about) == 0);
        REQUIRE(result == result_before);
        REQUIRE(about_boxes == 1);
        REQUIRE(last_owner == (about.platformData != nullptr ? kFakeHostWindow : 0));
    }

    static unsigned char band_placeholder;
};

unsigned char Host::band_placeholder = 0;

Host* host = nullptr; // the host of the input being run, for the callbacks and seams below

OSErr advance_state_callback() {
    return host->advance_state();
}
void progress_callback(int32_t done, int32_t total) {
    host->progress(done, total);
}
Boolean abort_callback() {
    return host->abort_poll();
}

void set_up_record(Host& h) {
    FuzzedDataProvider& fuzz = h.fuzz;
    FilterRecord& r = h.record;
    // The fake host signs as Photoshop: the host does the white matting, and Continue clears
    // the rectangles.
    // Image mode and depth: a supported pair mostly, anything at times.
    const int16_t modes[] = {plugInModeRGBColor, plugInModeGrayScale, plugInModeRGB48,
                             plugInModeGray16,   plugInModeRGB96,     plugInModeGray32};
    const int kind = fuzz.ConsumeIntegralInRange(0, 5);
    r.imageMode = modes[kind];
    r.depth = kind < 2 ? 8 : kind < 4 ? 16 : 32;
    r.planes = kind % 2 == 0 ? 4 : 2;
    if (fuzz.ConsumeIntegralInRange(0, 7) == 7)
        r.imageMode = fuzz.ConsumeIntegralInRange<int16_t>(-1, 20);
    if (fuzz.ConsumeIntegralInRange(0, 7) == 7)
        r.depth = fuzz.PickValueInArray<int32_t>({0, 1, 7, 9, 15, 17, 31, 33, -8, INT32_MAX});
    if (fuzz.ConsumeIntegralInRange(0, 7) == 7)
        r.planes = fuzz.PickValueInArray<int16_t>({3, 0, 1, 5, -1, 4, 2, INT16_MAX});
    r.filterCase = fuzz.ConsumeIntegralInRange<int16_t>(4, 7);
    if (fuzz.ConsumeIntegralInRange(0, 7) == 7)
        r.filterCase = fuzz.ConsumeIntegralInRange<int16_t>(-1, 9);
    if (fuzz.ConsumeIntegralInRange(0, 7) == 7) r.outTileHeight = fuzz.ConsumeIntegral<int16_t>();
    if (fuzz.ConsumeIntegralInRange(0, 7) == 7) r.outTileWidth = fuzz.ConsumeIntegral<int16_t>();
    r.maskRect = Rect{1, 2, 3, 4};

    // Rectangles: the big-document record holds the 32-bit one; the 16-bit one is its low
    // bits, or something else altogether.
    h.has_big = fuzz.ConsumeBool();
    const VRect area = h.rectangle();
    r.filterRect = fuzz.ConsumeIntegralInRange(0, 3) == 3 ? narrow(h.rectangle()) : narrow(area);
    h.big.filterRect32 = area;
    h.big.maskRect32 = VRect{5, 6, 7, 8};
    h.big.PluginUsing32BitCoordinates = fuzz.ConsumeIntegralInRange(-128, 127);
    if (h.has_big) r.bigDocumentData = &h.big;

    r.platformData = fuzz.ConsumeIntegralInRange(0, 15) == 15 ? nullptr : &h.platform;
    r.advanceState = fuzz.ConsumeIntegralInRange(0, 31) == 31 ? nullptr : advance_state_callback;
    r.progressProc = fuzz.ConsumeIntegralInRange(0, 15) == 15 ? nullptr : progress_callback;
    r.abortProc = fuzz.ConsumeIntegralInRange(0, 15) == 15 ? nullptr : abort_callback;
    h.pass_result = fuzz.ConsumeIntegralInRange(0, 31) != 31;
}

} // namespace

// The module's two Win32 seams, here recorded for the host's checks.
void show_message_box(intptr_t owner, const char16_t* /*caption*/, const char16_t* /*text*/) {
    ++host->message_boxes;
    host->last_owner = owner;
}

void show_about_box(intptr_t owner, void* /*module_instance*/, AddressOpener /*open_address*/) {
    ++host->about_boxes;
    host->last_owner = owner;
}

// The about box is never clicked here, so nothing is ever opened.
void open_in_system_browser(const char* /*address*/) {
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fuzz(data, size);
    Host h(fuzz);
    host = &h;
    set_up_record(h);

    // A host's usual sequence, or selectors in any order and number.
    if (!fuzz.ConsumeBool()) {
        for (int16_t selector : {filterSelectorParameters, filterSelectorPrepare,
                                 filterSelectorStart, filterSelectorContinue, filterSelectorFinish})
            h.call(selector);
    } else {
        const int calls = fuzz.ConsumeIntegralInRange(1, 6);
        for (int i = 0; i < calls; ++i) {
            const int16_t selector = fuzz.PickValueInArray<int16_t>(
                {filterSelectorStart, filterSelectorContinue, filterSelectorAbout,
                 filterSelectorParameters, filterSelectorFinish, 6, -1, INT16_MAX});
            if (fuzz.ConsumeIntegralInRange(0, 15) == 15) { // no record at all
                const int16_t result_before = h.result;
                PluginMain(selector, nullptr, nullptr, &h.result);
                REQUIRE(h.result == result_before);
            } else if (selector == filterSelectorAbout)
                h.call_about();
            else
                h.call(selector);
        }
    }
    host = nullptr;
    return 0;
}
