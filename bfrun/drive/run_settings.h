// What one run of the module is told (the settings bfrun chose for the image) and what the
// host saw of it (the report the verdict is made from).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "bfrun/drive/matting.h"

struct RunSettings {
    int16_t image_mode = 0;
    int16_t filter_case = 4;
    int32_t depth = 8; // the host's: 8, 16 or 32 (float)
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
};

struct RunReport {
    int16_t result = 0;             // the result word after the last selector called
    std::vector<int16_t> selectors; // in the order they were called
    int32_t requests = 0;           // advanceState calls from the module
    int32_t progress_calls = 0;
    bool covered = false;   // every pixel of the filter rectangle was written back
    bool pad_intact = true; // no pad byte of outData was changed
    std::string fault;      // a request the host could not serve, if any
    // The module asked for rows already written, which a window of rows no longer holds: the
    // host stopped the run there. (When it stops the run for a row it could not read or write,
    // or for memory, the run's observer has been told why.)
    bool rows_gone = false;
};
