#include "runner/host_run.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/coordinates.h"
#include "host/host_codes.h"
#include "runner/band_transfer.h"
#include "transform/samples.h"

namespace {

// Which pixels of the filter rectangle the module's bands have covered: whole rows in a bit
// each, and the spans of rows covered in part, so that the record stays small for any image.
struct Coverage {
    VRect area{};
    std::vector<bool> full;
    std::vector<std::pair<int32_t, std::vector<std::pair<int32_t, int32_t>>>> partial;

    void start(const VRect& rect) {
        area = rect;
        full.assign(static_cast<size_t>(std::max(rect.bottom - rect.top, 0)), false);
        partial.clear();
    }

    void add(const VRect& band) {
        const int32_t top = std::max(band.top, area.top);
        const int32_t bottom = std::min(band.bottom, area.bottom);
        const int32_t left = std::max(band.left, area.left);
        const int32_t right = std::min(band.right, area.right);
        if (left >= right) return;
        for (int32_t y = top; y < bottom; ++y) {
            const size_t row = static_cast<size_t>(y - area.top);
            if (full[row]) continue;
            if (left == area.left && right == area.right) {
                full[row] = true;
                continue;
            }
            auto found = std::find_if(partial.begin(), partial.end(),
                                      [y](const auto& entry) { return entry.first == y; });
            if (found == partial.end()) {
                partial.push_back({y, {}});
                found = partial.end() - 1;
            }
            auto& spans = found->second;
            spans.push_back({left, right});
            std::sort(spans.begin(), spans.end());
            std::vector<std::pair<int32_t, int32_t>> merged;
            for (const auto& span : spans) {
                if (!merged.empty() && span.first <= merged.back().second)
                    merged.back().second = std::max(merged.back().second, span.second);
                else
                    merged.push_back(span);
            }
            spans = merged;
            if (spans.size() == 1 && spans[0].first == area.left && spans[0].second == area.right) {
                full[row] = true;
                partial.erase(found);
            }
        }
    }

    bool complete() const {
        return std::all_of(full.begin(), full.end(), [](bool done) { return done; });
    }
};

// The host's three callbacks take no arguments, so the run in progress is module-wide.
struct Session {
    PluginEntry entry = nullptr;
    RowStore* store = nullptr;
    const RunSettings* settings = nullptr;
    RunReport* report = nullptr;
    FilterRecord record{};
    BigDocumentStruct big{};
    PlatformData platform{};
    int64_t calls = 0, call_limit = 0;
    std::vector<uint8_t> in_buffer;
    // The output band the module holds now.
    bool out_pending = false;
    BandArea out_band{};
    int32_t out_row_bytes = 0;  // packed row + pad bytes
    int32_t out_packed_row = 0; // bytes of samples in a row
    std::vector<uint8_t> out_buffer;
    // The last band the module handed back, as it handed it back (rows packed): a request for
    // the same band again gets it without a second matting round trip.
    bool result_kept = false;
    BandArea result_band{};
    std::vector<uint8_t> result;
    Coverage coverage;
};

Session* session = nullptr;

constexpr uint8_t kPadByte = 0xA5;
constexpr int32_t kTileSize = 256;
constexpr SPErr kSuiteNotOffered = -1;
constexpr OSErr kHostStopped = -1; // what the module gets when the host cannot go on

bool is_empty(const VRect& r) {
    return r.bottom <= r.top || r.right <= r.left;
}

bool same_band(const BandArea& a, const BandArea& b) {
    return a.rect.top == b.rect.top && a.rect.left == b.rect.left &&
           a.rect.bottom == b.rect.bottom && a.rect.right == b.rect.right && a.lo == b.lo &&
           a.hi == b.hi;
}

bool inside_layer(const VRect& r, const RowStore& store) {
    return r.top >= 0 && r.left >= 0 && r.bottom <= store.height() && r.right <= store.width();
}

bool planes_valid(int lo, int hi, const RowStore& store) {
    return lo >= 0 && lo <= hi && hi < store.channels();
}

size_t packed_row_bytes(const BandArea& band, int32_t depth) {
    return static_cast<size_t>(band.rect.right - band.rect.left) * (band.hi - band.lo + 1) *
           sample_size_for_depth(depth);
}

void write_back_pending(Session& s) {
    if (!s.out_pending) return;
    s.out_pending = false;
    write_back_band(*s.store, s.out_band, s.settings->depth, s.settings->output_matte,
                    s.out_buffer.data(), s.out_row_bytes);
    const size_t row_bytes = static_cast<size_t>(s.out_row_bytes);
    const size_t tight = static_cast<size_t>(s.out_packed_row);
    const size_t rows = static_cast<size_t>(s.out_band.rect.bottom - s.out_band.rect.top);
    s.result.resize(tight * rows);
    for (size_t y = 0; y < rows; ++y) {
        const uint8_t* row = s.out_buffer.data() + y * row_bytes;
        std::memcpy(s.result.data() + y * tight, row, tight);
        for (size_t at = tight; at < row_bytes; ++at)
            if (row[at] != kPadByte) s.report->pad_intact = false;
    }
    s.result_band = s.out_band;
    s.result_kept = true;
    s.coverage.add(s.out_band.rect);
}

// Fills `buffer` (rows row_bytes apart) with the band: the module's own last result when it
// asks for that band again, else from the store.
void fill_band(Session& s, const BandArea& band, Matte matte, uint8_t* buffer, int32_t row_bytes,
               bool result_allowed) {
    if (result_allowed && s.result_kept && same_band(band, s.result_band)) {
        const size_t tight = packed_row_bytes(band, s.settings->depth);
        for (int32_t y = 0; y < band.rect.bottom - band.rect.top; ++y)
            std::memcpy(buffer + static_cast<size_t>(y) * row_bytes, s.result.data() + y * tight,
                        tight);
        return;
    }
    deliver_band(*s.store, band, s.settings->depth, matte, buffer, row_bytes);
}

OSErr stop(Session& s) {
    s.report->stopped = true;
    return kHostStopped;
}

// Writes back the band the module had, then prepares the rectangles and planes it asks for
// now in inData and outData.
OSErr serve(Session& s) {
    write_back_pending(s);
    FilterRecord& record = s.record;
    RowStore& store = *s.store;
    const RunSettings& settings = *s.settings;

    const BandArea in{read_in_rect(record), record.inLoPlane, record.inHiPlane};
    const BandArea out{read_out_rect(record), record.outLoPlane, record.outHiPlane};
    const bool want_in = !is_empty(in.rect), want_out = !is_empty(out.rect);
    record.inData = nullptr;
    record.outData = nullptr;
    if (want_in && (!inside_layer(in.rect, store) || !planes_valid(in.lo, in.hi, store))) {
        s.report->fault = "input rectangle or planes outside the layer";
        return filterBadParameters;
    }
    if (want_out && (!inside_layer(out.rect, store) || !planes_valid(out.lo, out.hi, store))) {
        s.report->fault = "output rectangle or planes outside the layer";
        return filterBadParameters;
    }
    if (!want_in && !want_out) return noErr;

    const int32_t top =
        std::min(want_in ? in.rect.top : out.rect.top, want_out ? out.rect.top : in.rect.top);
    const int32_t bottom = std::max(want_in ? in.rect.bottom : out.rect.bottom,
                                    want_out ? out.rect.bottom : in.rect.bottom);
    switch (store.reach(top, bottom)) {
    case Reach::ready:
        break;
    case Reach::rows_gone:
        s.report->rows_gone = true;
        return stop(s);
    case Reach::failed:
        return stop(s);
    }

    if (want_in) {
        const int32_t row_bytes = static_cast<int32_t>(packed_row_bytes(in, settings.depth));
        s.in_buffer.assign(static_cast<size_t>(row_bytes) * (in.rect.bottom - in.rect.top), 0);
        fill_band(s, in, settings.input_matte, s.in_buffer.data(), row_bytes,
                  settings.input_matte == settings.output_matte);
        record.inData = s.in_buffer.data();
        record.inRowBytes = row_bytes;
    }
    if (want_out) {
        s.out_band = out;
        const int32_t tight = static_cast<int32_t>(packed_row_bytes(out, settings.depth));
        const size_t rows = static_cast<size_t>(out.rect.bottom - out.rect.top);
        s.out_packed_row = tight;
        s.out_row_bytes = tight + settings.pad_bytes;
        s.out_buffer.assign(static_cast<size_t>(s.out_row_bytes) * rows, kPadByte);
        if (settings.copy_source_to_output) {
            fill_band(s, out, settings.output_matte, s.out_buffer.data(), s.out_row_bytes, true);
        } else {
            for (size_t y = 0; y < rows; ++y)
                std::memset(s.out_buffer.data() + y * s.out_row_bytes, 0, tight);
        }
        s.out_pending = true;
        record.outData = s.out_buffer.data();
        record.outRowBytes = s.out_row_bytes;
    }
    return noErr;
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
        s.report->out_of_memory = true;
        return stop(s);
    }
}

OSErr advance_state() {
    if (session == nullptr) return kHostStopped;
    Session& s = *session;
    if (s.report->stopped) return kHostStopped;
    ++s.report->requests;
    if (over_call_limit(s)) return filterBadParameters;
    if (s.report->requests == s.settings->advance_error_at) return s.settings->advance_error;
    return serve_safely(s);
}

void progress(int32_t done, int32_t total) {
    if (session == nullptr) return;
    ++session->report->progress_calls;
    if (session->settings->progress != nullptr) session->settings->progress(done, total);
}

Boolean abort_poll() {
    if (session == nullptr) return 1;
    const RunSettings& settings = *session->settings;
    if (settings.interrupted != nullptr && settings.interrupted()) return 1;
    return settings.abort_after >= 0 && session->report->requests >= settings.abort_after;
}

SPErr acquire_suite(const char*, int32_t, const void** suite) {
    if (suite != nullptr) *suite = nullptr;
    return kSuiteNotOffered;
}
SPErr release_suite(const char*, int32_t) {
    return 0;
}
int32_t is_equal(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}
SPErr allocate_block(size_t size, void** block) {
    *block = std::malloc(size);
    return *block != nullptr ? 0 : kSuiteNotOffered;
}
SPErr free_block(void* block) {
    std::free(block);
    return 0;
}
SPErr reallocate_block(void* block, size_t size, void** new_block) {
    *new_block = std::realloc(block, size);
    return *new_block != nullptr ? 0 : kSuiteNotOffered;
}
SPErr undefined_routine() {
    return kSuiteNotOffered;
}

// The module keeps the basic suite's address and may use it as late as its unload, after
// the run: so the suite lives as long as the program.
SPBasicSuite basic_suite = {acquire_suite, release_suite,    is_equal,         allocate_block,
                            free_block,    reallocate_block, undefined_routine};

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
    r.hostSig = 0x6266726E; // 'bfrn'
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
    r.sSPBasic = settings.basic_suite ? &basic_suite : nullptr;
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

RunReport run_filter(PluginEntry entry, RowStore& store, const RunSettings& settings) {
    RunReport report;
    Session s;
    s.entry = entry;
    s.store = &store;
    s.settings = &settings;
    s.report = &report;
    s.call_limit = host_call_limit(settings.filter_rect);
    s.coverage.start(settings.filter_rect);
    fill_record(s);
    session = &s;

    intptr_t data = 0;
    int16_t result = 0;
    auto call = [&](int16_t selector) {
        report.selectors.push_back(selector);
        result = 0;
        entry(selector, &s.record, &data, &result);
        report.result = result;
        return result == noErr && !report.stopped;
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
                write_back_pending(s);
            } catch (const std::bad_alloc&) {
                report.out_of_memory = report.stopped = true;
            }
            if (!report.stopped) call(filterSelectorFinish);
        }
    }
    session = nullptr;
    report.covered = s.coverage.complete();
    return report;
}

RunOutcome classify_run(const RunReport& report) {
    if (!report.fault.empty()) return RunOutcome::protocol_fault;
    if (report.result != noErr) return RunOutcome::result_code;
    if (report.requests == 0) return RunOutcome::refused;
    if (!report.covered || !report.pad_intact) return RunOutcome::protocol_fault;
    return RunOutcome::done;
}
