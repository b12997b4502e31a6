// The selector loop, the host's callbacks and the filter record bfrun fills for the module.
#include "bfrun/drive/run_filter.h"

#include <algorithm>
#include <new>

#include "host/host_codes.h"
#include "host/coordinates.h"
#include "host/rectangles.h"
#include "bfrun/drive/band_server.h"
#include "bfrun/drive/stand_in_suite.h"

namespace {

// The host's three callbacks take no arguments, so the run in progress is module-wide.
struct Session {
    RowStore* store = nullptr;
    const RunSettings* settings = nullptr;
    RunReport* report = nullptr;
    RunObserver* observer = nullptr;
    BandServer* server = nullptr;
    FilterRecord record{};
    BigDocumentStruct big{};
    PlatformData platform{};
    int64_t calls = 0, call_limit = 0;
    bool stopped = false; // by the host, which serves nothing more
};

Session* session = nullptr;

constexpr int32_t kTileSize = 256;
constexpr OSErr kHostStopped = -1; // what the module gets when the host cannot go on

OSErr stop(Session& s) {
    s.stopped = true;
    return kHostStopped;
}

OSErr out_of_memory(Session& s) {
    s.observer->fail({kExitOutOfMemory, "out of memory"});
    return stop(s);
}

// Writes back the band the module had, then prepares the bands it asks for now.
OSErr serve(Session& s) {
    switch (s.server->serve(s.record)) {
    case Served::ready:
        return noErr;
    case Served::bad_request:
        s.report->fault = s.server->fault();
        return filterBadParameters;
    case Served::rows_gone:
        s.report->rows_gone = true;
        return stop(s);
    case Served::failed:
        break;
    }
    return stop(s);
}

bool over_call_limit(Session& s) {
    if (++s.calls <= s.call_limit) return false;
    s.report->fault =
        "the module kept asking for more after " + std::to_string(s.call_limit) + " calls";
    return true;
}

OSErr serve_safely(Session& s) {
    try {
        return serve(s);
    } catch (const std::bad_alloc&) {
        return out_of_memory(s);
    }
}

OSErr advance_state() {
    if (session == nullptr) return kHostStopped;
    Session& s = *session;
    if (s.stopped) return kHostStopped;
    ++s.report->requests;
    if (over_call_limit(s)) return filterBadParameters;
    if (s.report->requests == s.settings->advance_error_at) return s.settings->advance_error;
    return serve_safely(s);
}

void progress(int32_t done, int32_t total) {
    if (session == nullptr) return;
    ++session->report->progress_calls;
    session->observer->progress(done, total);
}

Boolean abort_poll() {
    if (session == nullptr) return 1;
    if (session->observer->interrupted()) return 1;
    const int32_t abort_after = session->settings->abort_after;
    return abort_after >= 0 && session->report->requests >= abort_after;
}

// The host's own 16-bit members for a layer too large for them hold the largest value they can.
int16_t clamp_to_16_bits(int32_t value) {
    return static_cast<int16_t>(std::min(value, int32_t{32767}));
}

Rect clamp_to_16_bits(const VRect& r) {
    return {clamp_to_16_bits(r.top), clamp_to_16_bits(r.left), clamp_to_16_bits(r.bottom),
            clamp_to_16_bits(r.right)};
}

void fill_record(Session& s) {
    const RowStore& store = *s.store;
    const RunSettings& settings = *s.settings;
    FilterRecord& r = s.record;
    r = FilterRecord{};
    r.abortProc = abort_poll;
    r.progressProc = progress;
    r.imageSize = {clamp_to_16_bits(store.height()), clamp_to_16_bits(store.width())};
    r.planes = static_cast<int16_t>(store.channels());
    r.filterRect = clamp_to_16_bits(settings.filter_rect);
    r.background[0] = r.background[1] = r.background[2] = 0xFFFF;
    r.maxSpace = 1 << 30;
    r.bufferSpace = 1 << 30;
    r.backColor[0] = r.backColor[1] = r.backColor[2] = 255;
    // Photoshop's signature, '8BIM': the module counts on a host with that signature to matt
    // the layer over white and un-matt the result, and on any other to do neither. bfrun mattes
    // as Photoshop does (band_server.cpp, matting.cpp), so it says it is Photoshop.
    r.hostSig = kPhotoshopHostSig;
    r.imageMode = settings.image_mode;
    r.imageHRes = r.imageVRes = 72 << 16;
    r.wholeSize = r.imageSize;
    s.platform.hwnd = settings.owner_window;
    r.platformData = &s.platform;
    r.filterCase = settings.filter_case;
    r.advanceState = advance_state;
    r.inputRate = r.maskRate = kFixedOne;
    r.inLayerPlanes = r.outLayerPlanes = static_cast<int16_t>(store.channels() - 1);
    r.inTransparencyMask = r.outTransparencyMask = 1;
    r.inTileHeight = r.inTileWidth = r.outTileHeight = r.outTileWidth = kTileSize;
    r.absTileHeight = r.absTileWidth = kTileSize;
    r.depth = settings.depth;
    r.sSPBasic = settings.basic_suite ? stand_in_basic_suite() : nullptr;
    if (settings.big_document) {
        s.big = BigDocumentStruct{};
        s.big.imageSize32 = {store.height(), store.width()};
        s.big.filterRect32 = settings.filter_rect;
        s.big.wholeSize32 = s.big.imageSize32;
        r.bigDocumentData = &s.big;
    }
}

} // namespace

int64_t host_call_limit(const VRect& filter_rect) {
    const VRect& r = filter_rect;
    const int64_t rows = std::max<int64_t>(int64_t{r.bottom} - r.top, 0);
    const int64_t columns = std::max<int64_t>(int64_t{r.right} - r.left, 0);
    const int64_t tiles =
        ((rows + kTileSize - 1) / kTileSize) * ((columns + kTileSize - 1) / kTileSize);
    return 1024 + 2 * (rows + tiles);
}

RunReport run_filter(PluginEntry entry, RowStore& store, const RunSettings& settings,
                     RunObserver& observer) {
    RunReport report;
    BandServer server(store, settings);
    Session s;
    s.store = &store;
    s.settings = &settings;
    s.report = &report;
    s.observer = &observer;
    s.server = &server;
    s.call_limit = host_call_limit(settings.filter_rect);
    fill_record(s);
    session = &s;

    intptr_t data = 0;
    int16_t result = 0;
    auto call = [&](int16_t selector) {
        report.selectors.push_back(selector);
        result = 0;
        entry(selector, &s.record, &data, &result);
        report.result = result;
        return result == noErr && !s.stopped;
    };
    auto anything_requested = [&]() {
        return !is_empty(read_in_rect(s.record)) || !is_empty(read_out_rect(s.record)) ||
               !is_empty(read_mask_rect(s.record));
    };

    if (call(filterSelectorParameters) && call(filterSelectorPrepare) &&
        call(filterSelectorStart)) {
        bool ok = true;
        while (ok && anything_requested()) {
            if (over_call_limit(s)) {
                ok = false;
                break;
            }
            const OSErr status = serve_safely(s);
            if (status != noErr) {
                report.result = status;
                ok = false;
                break;
            }
            ok = call(filterSelectorContinue);
        }
        if (ok) {
            try {
                server.write_back_pending();
            } catch (const std::bad_alloc&) {
                out_of_memory(s);
            }
            if (!s.stopped) call(filterSelectorFinish);
        }
    }
    session = nullptr;
    report.covered = server.covered();
    report.pad_intact = server.pad_intact();
    return report;
}
