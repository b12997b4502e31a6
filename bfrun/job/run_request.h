// What the command line asks of each file's run: how the module is to see the layer, the size
// limit and how OUT.png is compressed; what the test host's switches change of the host's side
// of the protocol (filter case to advanceState's errors), which bfrun leaves as they are; and
// what bfrun sets itself (the compressing threads, the module's owner window).
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "bfrun/image/ink.h"
#include "bfrun/image/paper_level.h"
#include "bfrun/image/png_writer.h"

// 2^30 pixels: 32768 x 32768.
constexpr uint64_t kDefaultMaxPixels = uint64_t{1} << 30;

struct RunRequest {
    int32_t depth = 0; // 0: the file's own depth; 32: run as float
    bool has_rect = false;
    VRect rect{0, 0, 0, 0};
    int16_t filter_case = 0; // 0: 4, or 5 with a rectangle
    int16_t mode = -1;       // -1: from the image
    int32_t pad_rows = 0;
    bool big_document = true;
    bool basic_suite = true;
    int32_t abort_after = -1;
    int32_t advance_error_at = 0;
    int16_t advance_error = 0;
    uint64_t max_pixels = kDefaultMaxPixels;
    int32_t compression = kDefaultCompression;
    // --paper: the colour samples of the filter rectangle levelled before the module sees them
    // (paper_level.h); with paper_auto the level is found from the file first.
    int32_t paper_level = kPaperUnchanged;
    bool paper_auto = false;
    // The page of the file to read, from 0 (a TIFF's; a file of one page has only 0).
    uint32_t page = 0;
    // --keep-orientation: the pixels in the order the file stores them, its Exif or TIFF
    // orientation left as it is (oriented_reader.h).
    bool keep_orientation = false;
    // --ink: the colour given to the module's result, its alpha kept (ink.h).
    Ink ink;
    // Threads compressing OUT.png: 0 until bfrun sets the processor count (a batch's workers
    // are given their share with --batch-worker N); the portable code takes 0 as 1.
    int32_t threads = 0;
    // The window that owns the module's message boxes: bfrun's own, made when it loads the
    // module; 0 for none.
    intptr_t owner_window = 0;
};
