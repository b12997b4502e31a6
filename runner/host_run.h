// bfrun's host side: fills a filter record for a layer, calls the module's entry point with
// the selectors in Photoshop's order, and serves each advanceState from the layer, with the
// matting and copying the module's filter case table asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "runner/layer.h"
#include "runner/matting.h"

using PluginEntry = void (*)(int16_t selector, void* record, intptr_t* data, int16_t* result);

struct RunSettings {
    int16_t image_mode = 0;
    int16_t filter_case = 4;
    VRect filter_rect{0, 0, 0, 0};
    Matte input_matte = Matte::white;
    Matte output_matte = Matte::white;
    bool copy_source_to_output = true; // the case's flag bit 0 clear
    int32_t pad_bytes = 0;             // added to every row of outData
    bool big_document = true;
    bool basic_suite = true;
    int32_t abort_after = -1;     // the abort poll says yes once this many bands were served
    int32_t advance_error_at = 0; // this advanceState (1 = first) returns advance_error
    int16_t advance_error = 0;
    intptr_t owner_window = 0;
    void (*progress)(int32_t done, int32_t total) = nullptr;
    bool (*interrupted)() = nullptr; // the user asked to stop (Ctrl+C)
};

struct RunReport {
    int16_t result = 0;             // the result word after the last selector called
    std::vector<int16_t> selectors; // in the order they were called
    int32_t requests = 0;           // advanceState calls from the module
    int32_t progress_calls = 0;
    bool covered = false;   // every pixel of the filter rectangle was written back
    bool pad_intact = true; // no pad byte of outData was changed
    std::string fault;      // a request the host could not serve, if any
};

// How the run ended, for the exit status.
enum class RunOutcome {
    done,
    refused,        // the module requested nothing and left the result word at 0
    result_code,    // a nonzero result word
    protocol_fault, // result 0 but the bands did not cover the rectangle, or a bad request
};

// Runs the filter over `layer` in place. The layer is changed only as the module's bands are
// written back; the caller keeps a copy if it wants the original.
RunReport run_filter(PluginEntry entry, Layer& layer, const RunSettings& settings);

RunOutcome classify_run(const RunReport& report);
