// test_host's profiles face: the module run as each host of the table (host_profiles.h) runs a
// filter, on test layers, and every stored pixel checked against Photoshop's picture of the
// layer (profile_layers.h). One line per profile and layer; exit status 1 if any run failed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_codes.h"
#include "host/coordinates.h"
#include "host/rectangles.h"
#include "bfrun/drive/stand_in_suite.h"
#include "tests/common/fake_host_record.h"
#include "tests/wine/test_host/host_profiles.h"
#include "tests/wine/test_host/profile_layers.h"
#include "tests/wine/test_host/test_host.h"

namespace {

constexpr int64_t kCallLimit = 10000; // far more advanceState calls than any band plan needs
constexpr OSErr kHostGaveUp = -1;
const VRect kSelectionBounds{5, 3, 30, 19}; // top, left, bottom, right: 25 rows from row 5

// One filtering in progress, on the fake host's record of the layer: the host's callbacks take
// no arguments.
struct Run : FakeHostRecord {
    const HostProfile* host;
    const Layer* original;
    Layer stored; // the destination layer, a copy of the original to begin with
    std::vector<uint8_t> in, out;
    VRect out_rect{}; // where the band in `out` was served from, and its planes
    int16_t out_lo = 0, out_hi = -1;
    int64_t calls = 0;
    std::string fault; // the first thing that went wrong

    Run(PluginEntry entry, const HostProfile& profile, const Layer& layer)
        : FakeHostRecord(entry, layer.width, layer.height, int16_t(layer.channels), layer.depth,
                         profile.big_document == BigDocument::present),
          host(&profile), original(&layer), stored(layer) {}
};

Run* current = nullptr;
std::string crash_label; // the run under way, for report_crash

OSErr give_up(Run& run, const std::string& why) {
    if (run.fault.empty()) run.fault = why;
    return kHostGaveUp;
}

bool serves(const HostProfile& host, const VRect& r) {
    return host.rect_test == RectTest::right_edge ? r.right > 0 && r.bottom > 0 : !is_empty(r);
}

bool inside(const Layer& layer, const VRect& r, int lo, int hi) {
    return r.top >= 0 && r.left >= 0 && r.top <= r.bottom && r.left <= r.right &&
           r.bottom <= layer.height && r.right <= layer.width && lo >= 0 && lo <= hi &&
           hi < layer.channels;
}

// Planes lo..hi of `r` from the layer into a packed buffer; with the white matte, colour
// composited over white by its alpha first.
void fill(const Layer& from, const VRect& r, int lo, int hi, Matte matte,
          std::vector<uint8_t>& buffer, int32_t& row_bytes) {
    const size_t size = sample_size_for_depth(from.depth);
    const uint32_t scale = from.depth == 16 ? kScale16 : kScale8;
    const int alpha = from.channels - 1;
    row_bytes = int32_t((r.right - r.left) * (hi - lo + 1) * size);
    buffer.assign(size_t(row_bytes) * (r.bottom - r.top) + 1, 0); // never empty: data non-null
    uint8_t* at = buffer.data();
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            for (int k = lo; k <= hi; ++k, at += size) {
                const uint16_t* p = from.pixel(x, y);
                uint32_t v = p[k];
                if (matte == Matte::white && k != alpha) v = apply_matte(v, p[alpha], scale, scale);
                if (size == 2)
                    store_sample<uint16_t>(at, uint16_t(v));
                else
                    *at = uint8_t(v);
            }
}

// The band written back into the layer; with the white matte, the matte removed by the
// pixel's new alpha.
void store(Layer& to, const VRect& r, int lo, int hi, Matte matte, const uint8_t* at) {
    const size_t size = sample_size_for_depth(to.depth);
    const uint32_t scale = to.depth == 16 ? kScale16 : kScale8;
    const int alpha = to.channels - 1;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            uint16_t* p = to.pixel(x, y);
            for (int k = lo; k <= hi; ++k, at += size)
                p[k] = size == 2 ? load_sample<uint16_t>(at) : *at;
            for (int k = lo; k <= hi && matte == Matte::white; ++k)
                if (k != alpha) p[k] = uint16_t(remove_matte(p[k], p[alpha], scale, scale));
        }
}

// The host's advanceState: the band the module had goes back where it was served, then the
// bands it asks for now are handed over as this host hands them.
OSErr advance_state() {
    Run& run = *current;
    const HostProfile& host = *run.host;
    FilterRecord& f = run.record;
    if (++run.calls > kCallLimit) return give_up(run, "advanceState called without end");
    if (f.haveMask && serves(host, read_mask_rect(f)))
        return give_up(run, "the module asked for a mask, which these hosts do not model");

    if (f.outData != nullptr && serves(host, run.out_rect))
        store(run.stored, run.out_rect, run.out_lo, run.out_hi, host.matte, run.out.data());
    if (host.refill == Refill::every_call_from_original) {
        f.outData = nullptr;
        run.out_rect = VRect{};
    }
    const VRect out = read_out_rect(f);
    if (!serves(host, out)) {
        f.outData = nullptr;
        f.outRowBytes = 0;
        run.out_rect = VRect{};
    } else if (f.outData == nullptr || std::memcmp(&out, &run.out_rect, sizeof out) != 0 ||
               f.outLoPlane != run.out_lo || f.outHiPlane != run.out_hi) {
        if (!inside(*run.original, out, f.outLoPlane, f.outHiPlane))
            return give_up(run, "outRect or its planes outside the layer");
        const Layer& from =
            host.refill == Refill::every_call_from_original ? *run.original : run.stored;
        fill(from, out, f.outLoPlane, f.outHiPlane, host.matte, run.out, f.outRowBytes);
        f.outData = run.out.data();
        run.out_rect = out;
        run.out_lo = f.outLoPlane;
        run.out_hi = f.outHiPlane;
    }

    // The input always comes from the layer as it was; how often a host copies it again
    // changes nothing the module sees.
    const VRect in = read_in_rect(f);
    if (!serves(host, in)) {
        f.inData = nullptr;
        f.inRowBytes = 0;
    } else if (!inside(*run.original, in, f.inLoPlane, f.inHiPlane)) {
        return give_up(run, "inRect or its planes outside the layer");
    } else {
        fill(*run.original, in, f.inLoPlane, f.inHiPlane, host.matte, run.in, f.inRowBytes);
        f.inData = run.in.data();
    }
    return noErr;
}

SPErr suite_not_found(const char*, int32_t, const void**) {
    return 0x53214664; // kSPSuiteNotFoundError ('S!Fd'), *suite left as it was
}

SPBasicSuite* basic_suite(Suite suite) {
    static SPBasicSuite not_found = [] {
        SPBasicSuite s = *stand_in_basic_suite();
        s.AcquireSuite = suite_not_found;
        return s;
    }();
    if (suite == Suite::refusing) return stand_in_basic_suite();
    return suite == Suite::not_found ? &not_found : nullptr;
}

// The fake host's record as this host fills it.
void fill_as_host(Run& run, const VRect& area, int16_t filter_case) {
    const HostProfile& host = *run.host;
    const Layer& layer = *run.original;
    FilterRecord& f = run.record;
    void** parameters = f.parameters;
    run.fill_record();
    f.parameters = parameters;
    run.set_filter_rect(area.top, area.left, area.bottom, area.right);
    f.maxSpace = f.bufferSpace = 1 << 30;
    f.backColor[0] = f.backColor[1] = f.backColor[2] = 255;
    f.hostSig = host.host_sig;
    f.imageHRes = f.imageVRes = 72 * kFixedOne;
    f.filterCase = filter_case;
    f.haveMask = filter_case == filterCaseEditableTransparencyWithSelection;
    f.advanceState = advance_state;
    f.inputRate = f.maskRate = kFixedOne;
    f.inLayerPlanes = int16_t(layer.channels - 1);
    f.inTransparencyMask = 1;
    if (host.out_planes == OutPlanes::set) {
        f.outLayerPlanes = f.inLayerPlanes;
        f.outTransparencyMask = 1;
    }
    const int32_t size = int32_t(sample_size_for_depth(host.depth));
    if (host.column_bytes == ColumnBytes::planes)
        f.inColumnBytes = f.outColumnBytes = layer.channels * size;
    f.inPlaneBytes = f.outPlaneBytes = size;
    int16_t tile_width = host.tile_width, tile_height = host.tile_height;
    if (host.tiles == Tiles::image) {
        tile_width = int16_t(layer.width);
        tile_height = int16_t(layer.height);
    } else if (host.tiles == Tiles::image_swapped) {
        tile_width = int16_t(std::min(layer.height, 1024));
        tile_height = int16_t(std::min(layer.width, 1024));
    }
    f.inTileWidth = f.outTileWidth = f.absTileWidth = f.maskTileWidth = tile_width;
    f.inTileHeight = f.outTileHeight = f.absTileHeight = f.maskTileHeight = tile_height;
    f.sSPBasic = basic_suite(host.suite);
}

bool call(Run& run, int16_t selector) {
    run.result = noErr;
    run.call(selector);
    if (run.result != noErr)
        give_up(run, "selector " + std::to_string(selector) + " ended with result " +
                         std::to_string(run.result));
    return run.fault.empty();
}

// Whether the host calls Continue again.
bool asks_more(const Run& run) {
    const FilterRecord& f = run.record;
    const bool mask = run.host->mask_in_loop == MaskInLoop::always || f.haveMask;
    if (run.host->rect_test == RectTest::right_edge)
        return read_in_rect(f).right != 0 || read_out_rect(f).right != 0 ||
               (mask && read_mask_rect(f).right != 0);
    return !is_empty(read_in_rect(f)) || !is_empty(read_out_rect(f)) ||
           (mask && !is_empty(read_mask_rect(f)));
}

void filter_layer(Run& run, const VRect& area, int16_t filter_case) {
    const bool sizes_later = run.host->sizes == Sizes::after_parameters;
    fill_as_host(run, area, filter_case);
    if (sizes_later) {
        run.record.imageSize = run.record.wholeSize = Point{};
        run.record.planes = 0;
        run.record.filterRect = Rect{};
        run.record.imageMode = 0;
    }
    if (!call(run, filterSelectorParameters)) return;
    if (sizes_later) fill_as_host(run, area, filter_case);
    if (!call(run, filterSelectorPrepare) || !call(run, filterSelectorStart)) return;
    // The hosts ignore advanceState's status here; a fault of ours still ends the run.
    while (asks_more(run)) {
        advance_state();
        if (!run.fault.empty() || !call(run, filterSelectorContinue)) return;
    }
    switch (run.host->ending) {
    case Ending::store_then_finish:
        advance_state();
        call(run, filterSelectorFinish);
        break;
    case Ending::finish_then_store:
        call(run, filterSelectorFinish);
        advance_state();
        break;
    case Ending::store_only:
        advance_state();
        break;
    }
}

LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
    std::printf("%s: crashed, exception 0x%08lX\n", crash_label.c_str(),
                static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    std::fflush(stdout);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Filters one layer as `host` does and prints how it compares; true when it matched.
bool check_run(const HostProfile& host, PluginEntry entry, const char* layer_name, int channels,
               bool selected, intptr_t& data, void**& parameters) {
    const std::string label = std::string(host.name) + " " + layer_name;
    crash_label = label;
    const Layer original = make_test_layer(channels, host.depth);
    const VRect whole{0, 0, original.height, original.width};
    const VRect area = selected && host.selection == Selection::bounds ? kSelectionBounds : whole;
    Run run(entry, host, original);
    if (host.data == Data::fresh) {
        data = 0;
        parameters = nullptr;
    }
    run.data = &data;
    run.record.parameters = parameters;
    current = &run;
    filter_layer(run, area, selected ? host.selected_case : host.filter_case);
    current = nullptr;
    parameters = run.record.parameters;

    const Comparison c = compare_with_photoshop(original, run.stored, area);
    std::printf("%s: %lld of %lld pixels differ from Photoshop's picture", label.c_str(),
                static_cast<long long>(c.differing), static_cast<long long>(c.pixels));
    if (c.differing > 0) std::printf(" (first: %s)", c.first.c_str());
    std::printf("\n");
    if (!run.fault.empty()) std::printf("%s: %s\n", label.c_str(), run.fault.c_str());
    return c.differing == 0 && run.fault.empty();
}

bool check_profile(const HostProfile& host, PluginEntry entry) {
    intptr_t data = 0;
    void** parameters = nullptr;
    bool ok = check_run(host, entry, "rgba", 4, false, data, parameters);
    if (host.layers == Layers::rgba_and_grey)
        ok &= check_run(host, entry, "grey", 2, false, data, parameters);
    if (host.selection != Selection::none)
        ok &= check_run(host, entry, "rgba-selection", 4, true, data, parameters);
    return ok;
}

} // namespace

int run_host_profiles(int argc, wchar_t** argv) {
    if (argc < 1) {
        std::fputs("usage: test_host profiles MODULE [PROFILE...]\n", stderr);
        return 2;
    }
    // The profiles named, or all of them but those of hosts for another machine.
    std::vector<const HostProfile*> chosen;
    for (size_t p = 0; p < kHostProfileCount; ++p) {
        const std::string name = kHostProfiles[p].name;
        bool named = argc == 1;
#if defined(__aarch64__)
        named = named && kHostProfiles[p].machines != Machines::x64_only;
#endif
        for (int i = 1; i < argc; ++i)
            named = named || std::wstring(name.begin(), name.end()) == argv[i];
        if (named) chosen.push_back(&kHostProfiles[p]);
    }
    if (chosen.size() < size_t(argc - 1)) {
        std::fputs("test_host profiles: unknown profile name\n", stderr);
        return 2;
    }

    HMODULE module = LoadLibraryW(argv[0]);
    const auto entry = module ? reinterpret_cast<PluginEntry>(
                                    reinterpret_cast<void*>(GetProcAddress(module, "PluginMain")))
                              : nullptr;
    if (entry == nullptr) {
        std::fprintf(stderr, "test_host profiles: cannot load PluginMain from %ls\n", argv[0]);
        return 1;
    }
    SetUnhandledExceptionFilter(report_crash);
    bool ok = true;
    for (const HostProfile* host : chosen)
        ok &= check_profile(*host, entry);
    return ok ? 0 : 1;
}
