#include "runner/host_run.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/coordinates.h"
#include "host/host_codes.h"
#include "runner/band_transfer.h"
#include "transform/samples.h"

namespace {

// The host's three callbacks take no arguments, so the run in progress is module-wide.
struct Session {
    PluginEntry entry = nullptr;
    Layer* layer = nullptr;
    const RunSettings* settings = nullptr;
    RunReport* report = nullptr;
    FilterRecord record{};
    BigDocumentStruct big{};
    PlatformData platform{};
    SPBasicSuite basic{};
    std::vector<uint8_t> in_buffer;
    // The output band the module holds now, and a copy of it as delivered.
    bool out_pending = false;
    VRect out_rect{};
    int out_lo = 0, out_hi = 0;
    int32_t out_row_bytes = 0;  // packed row + pad bytes
    int32_t out_packed_row = 0; // bytes of samples in a row
    std::vector<uint8_t> out_buffer;
    std::vector<uint8_t> out_delivered;
    std::vector<uint8_t> covered; // one byte per pixel of the filter rectangle
};

Session* session = nullptr;

constexpr uint8_t kPadByte = 0xA5;
constexpr int32_t kTileSize = 256;
constexpr SPErr kSuiteNotOffered = -1;

void mark_covered(Session& s) {
    const VRect& area = s.settings->filter_rect;
    const int32_t top = std::max(s.out_rect.top, area.top);
    const int32_t bottom = std::min(s.out_rect.bottom, area.bottom);
    const int32_t left = std::max(s.out_rect.left, area.left);
    const int32_t right = std::min(s.out_rect.right, area.right);
    const size_t width = static_cast<size_t>(area.right - area.left);
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x)
            s.covered[static_cast<size_t>(y - area.top) * width + (x - area.left)] = 1;
}

void write_back_pending(Session& s) {
    if (!s.out_pending) return;
    s.out_pending = false;
    const BandArea area{s.out_rect, s.out_lo, s.out_hi};
    write_back_band(*s.layer, area, s.settings->output_matte, s.out_buffer.data(), s.out_row_bytes,
                    s.out_delivered.data());
    const size_t row_bytes = static_cast<size_t>(s.out_row_bytes);
    for (size_t row = 0; row < s.out_buffer.size(); row += row_bytes)
        for (size_t at = row + s.out_packed_row; at < row + row_bytes; ++at)
            if (s.out_buffer[at] != kPadByte) s.report->pad_intact = false;
    mark_covered(s);
}

bool is_empty(const VRect& r) {
    return r.bottom <= r.top || r.right <= r.left;
}

bool inside_layer(const VRect& r, const Layer& layer) {
    return r.top >= 0 && r.left >= 0 && r.bottom <= layer.height && r.right <= layer.width;
}

bool planes_valid(int lo, int hi, const Layer& layer) {
    return lo >= 0 && lo <= hi && hi < layer.planes;
}

// Writes back the band the module had, then prepares the rectangles and planes it asks for
// now in inData and outData.
OSErr serve(Session& s) {
    write_back_pending(s);
    FilterRecord& record = s.record;
    Layer& layer = *s.layer;
    const RunSettings& settings = *s.settings;
    const size_t sample_size = sample_size_for_depth(layer.depth);

    const VRect in_rect = read_in_rect(record);
    const VRect out_rect = read_out_rect(record);
    record.inData = nullptr;
    record.outData = nullptr;
    if (!is_empty(in_rect)) {
        if (!inside_layer(in_rect, layer) ||
            !planes_valid(record.inLoPlane, record.inHiPlane, layer)) {
            s.report->fault = "input rectangle or planes outside the layer";
            return filterBadParameters;
        }
        const int32_t row_bytes = (in_rect.right - in_rect.left) *
                                  (record.inHiPlane - record.inLoPlane + 1) *
                                  static_cast<int32_t>(sample_size);
        s.in_buffer.assign(static_cast<size_t>(row_bytes) * (in_rect.bottom - in_rect.top), 0);
        deliver_band(layer, {in_rect, record.inLoPlane, record.inHiPlane}, settings.input_matte,
                     s.in_buffer.data(), row_bytes);
        record.inData = s.in_buffer.data();
        record.inRowBytes = row_bytes;
    }
    if (!is_empty(out_rect)) {
        if (!inside_layer(out_rect, layer) ||
            !planes_valid(record.outLoPlane, record.outHiPlane, layer)) {
            s.report->fault = "output rectangle or planes outside the layer";
            return filterBadParameters;
        }
        s.out_rect = out_rect;
        s.out_lo = record.outLoPlane;
        s.out_hi = record.outHiPlane;
        const int32_t tight = (out_rect.right - out_rect.left) * (s.out_hi - s.out_lo + 1) *
                              static_cast<int32_t>(sample_size);
        const size_t rows = static_cast<size_t>(out_rect.bottom - out_rect.top);
        s.out_packed_row = tight;
        s.out_row_bytes = tight + settings.pad_bytes;
        s.out_buffer.assign(static_cast<size_t>(s.out_row_bytes) * rows, kPadByte);
        if (settings.copy_source_to_output) {
            deliver_band(layer, {out_rect, s.out_lo, s.out_hi}, settings.output_matte,
                         s.out_buffer.data(), s.out_row_bytes);
        } else {
            for (size_t y = 0; y < rows; ++y)
                std::memset(s.out_buffer.data() + y * s.out_row_bytes, 0, tight);
        }
        s.out_delivered.resize(static_cast<size_t>(tight) * rows);
        for (size_t y = 0; y < rows; ++y)
            std::memcpy(s.out_delivered.data() + y * tight,
                        s.out_buffer.data() + y * s.out_row_bytes, tight);
        s.out_pending = true;
        record.outData = s.out_buffer.data();
        record.outRowBytes = s.out_row_bytes;
    }
    return noErr;
}

OSErr advance_state() {
    Session& s = *session;
    ++s.report->requests;
    if (s.report->requests == s.settings->advance_error_at) return s.settings->advance_error;
    return serve(s);
}

void progress(int32_t done, int32_t total) {
    ++session->report->progress_calls;
    if (session->settings->progress != nullptr) session->settings->progress(done, total);
}

Boolean abort_poll() {
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

// The host's own 16-bit members for a layer too large for them hold the largest value they can.
int16_t clamp_to_16_bits(int32_t value) {
    return static_cast<int16_t>(std::min(value, int32_t{32767}));
}

Rect clamp_to_16_bits(const VRect& r) {
    return {clamp_to_16_bits(r.top), clamp_to_16_bits(r.left), clamp_to_16_bits(r.bottom),
            clamp_to_16_bits(r.right)};
}

void fill_record(Session& s) {
    const Layer& layer = *s.layer;
    const RunSettings& settings = *s.settings;
    FilterRecord& r = s.record;
    r = FilterRecord{};
    r.abortProc = abort_poll;
    r.progressProc = progress;
    r.imageSize = {clamp_to_16_bits(layer.height), clamp_to_16_bits(layer.width)};
    r.planes = static_cast<int16_t>(layer.planes);
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
    r.inLayerPlanes = r.outLayerPlanes = static_cast<int16_t>(layer.planes - 1);
    r.inTransparencyMask = r.outTransparencyMask = 1;
    r.inTileHeight = r.inTileWidth = r.outTileHeight = r.outTileWidth = kTileSize;
    r.absTileHeight = r.absTileWidth = kTileSize;
    r.depth = layer.depth;
    s.basic = {acquire_suite, release_suite,    is_equal,         allocate_block,
               free_block,    reallocate_block, undefined_routine};
    r.sSPBasic = settings.basic_suite ? &s.basic : nullptr;
    if (settings.big_document) {
        s.big = BigDocumentStruct{};
        s.big.imageSize32 = {layer.height, layer.width};
        s.big.filterRect32 = settings.filter_rect;
        s.big.wholeSize32 = s.big.imageSize32;
        r.bigDocumentData = &s.big;
    }
}

} // namespace

RunReport run_filter(PluginEntry entry, Layer& layer, const RunSettings& settings) {
    RunReport report;
    Session s;
    s.entry = entry;
    s.layer = &layer;
    s.settings = &settings;
    s.report = &report;
    const VRect& area = settings.filter_rect;
    s.covered.assign(static_cast<size_t>(area.bottom - area.top) * (area.right - area.left), 0);
    fill_record(s);
    session = &s;

    intptr_t data = 0;
    int16_t result = 0;
    auto call = [&](int16_t selector) {
        report.selectors.push_back(selector);
        result = 0;
        entry(selector, &s.record, &data, &result);
        report.result = result;
        return result == noErr;
    };
    auto anything_requested = [&]() {
        return !is_empty(read_in_rect(s.record)) || !is_empty(read_out_rect(s.record)) ||
               !is_empty(read_mask_rect(s.record));
    };

    if (call(filterSelectorParameters) && call(filterSelectorPrepare) &&
        call(filterSelectorStart)) {
        bool ok = true;
        while (ok && anything_requested()) {
            const OSErr status = serve(s);
            if (status != noErr) {
                report.result = status;
                ok = false;
                break;
            }
            ok = call(filterSelectorContinue);
        }
        if (ok) {
            write_back_pending(s);
            call(filterSelectorFinish);
        }
    }
    session = nullptr;
    report.covered =
        std::all_of(s.covered.begin(), s.covered.end(), [](uint8_t done) { return done != 0; });
    return report;
}

RunOutcome classify_run(const RunReport& report) {
    if (report.result != noErr) return RunOutcome::result_code;
    if (!report.fault.empty()) return RunOutcome::protocol_fault;
    if (report.requests == 0) return RunOutcome::refused;
    if (!report.covered || !report.pad_intact) return RunOutcome::protocol_fault;
    return RunOutcome::done;
}
