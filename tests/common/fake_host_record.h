// The filter record a test host hands the module, filled as Photoshop fills it for a layer, and
// the call of the module's entry point with it: PluginMain linked into a native test, or found
// in the loaded Brightfade.8bf under Wine. The callbacks poll and report quietly and
// advanceState is left for each host to serve as it does.
#pragma once

#include <cstdint>

#include "host/host_records.h"

constexpr intptr_t kFakeHostWindow = 0x4242; // platformData's hwnd
constexpr int16_t kFakeHostResult = 0x5A5A;  // the result word before the module writes it

struct FakeHostRecord {
    PluginEntry entry;
    // The layer: width x height pixels of `planes` samples at the host depth (8, 16 or 32).
    int32_t width, height;
    int16_t planes;
    int32_t depth;
    bool big_document; // the big-document record is handed over

    FilterRecord record{};
    BigDocumentStruct big{};
    PlatformData platform{};
    int16_t result = kFakeHostResult;
    intptr_t* data = nullptr; // PluginMain's data argument

    // Fills the record (fill_record()): an RGB layer with transparency (2 planes: grey), no
    // selection, the filter rectangle the whole layer.
    FakeHostRecord(PluginEntry entry, int32_t width, int32_t height, int16_t planes = 4,
                   int32_t depth = 8, bool big_document = false);
    // The record and the big-document record point into this object.
    FakeHostRecord(const FakeHostRecord&) = delete;
    FakeHostRecord& operator=(const FakeHostRecord&) = delete;

    void fill_record();
    // filterRect and filterRect32 both.
    void set_filter_rect(int32_t top, int32_t left, int32_t bottom, int32_t right);
    void call(int16_t selector);
};
