// One image file through the module: read row by row as the module's bands reach the rows,
// filtered, and written row by row as soon as the module is past them, in the form decided
// before the run (output_form.h). The whole image is held only for an interlaced file, or when
// the module asks again for rows already written, which only the run shows; the run is then
// made again from the start with the image held, with the same result. Portable: the streams
// are files on Windows and memory in the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bfrun/image/byte_streams.h"
#include "bfrun/image/paper_level.h"
#include "bfrun/drive/run_filter.h"
#include "bfrun/drive/run_observer.h"
#include "bfrun/job/run_request.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/drive/pipl.h"

// What a run did, for the user's line and the tests.
struct FilterSummary {
    uint32_t width = 0, height = 0;
    int32_t requests = 0;
    int output_channels = 0;
    int attempts = 0;         // runs of the module: 2 when it asked for rows already written
    bool whole_image = false; // the last run held the whole image
    size_t peak_rows = 0;
    std::vector<std::string> warnings; // what the reader left out, a line each
    bool paper_auto = false;           // the first pass chose `paper`
    PaperChoice paper;
};

// Reads `input`, runs the module and writes the result to `output`. kExitDone, or why not;
// on a failure `output` holds something unfinished that the caller throws away. `observer`,
// one for this file, hears the module's progress and is asked whether the user wants to stop.
Failure filter_image(ByteSource& input, ByteSink& output, PluginEntry entry, const Pipl& pipl,
                     const RunRequest& request, RunObserver& observer, FilterSummary& summary);
