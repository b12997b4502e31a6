// bfrun's host side: fills a filter record for the image in a row store, calls the module's
// entry point with the selectors in Photoshop's order, and serves each advanceState from the
// store, with the matting and copying the module's filter case table asks for.
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "bfrun/drive/row_store.h"
#include "bfrun/drive/run_observer.h"
#include "bfrun/drive/run_settings.h"

// The most advanceState and continue calls a run may take over this rectangle: twice one a
// row and one a 256 x 256 tile, and 1024 more. A module past it is taken as runaway.
int64_t host_call_limit(const VRect& filter_rect);

// Runs the filter over the image in `store`. Rows change only as the module's bands are
// written back. The module's progress and abort polls go to `observer`, and so does the reason
// when the host has to stop the run for memory.
RunReport run_filter(PluginEntry entry, RowStore& store, const RunSettings& settings,
                     RunObserver& observer);
