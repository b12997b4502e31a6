// The hosts the profiles face plays: one HostProfile row per host, each field one way in which
// that host's filter record or its calls differ from another's (host_profiles_table.cpp).
#pragma once

#include <cstddef>

#include "host/host_records.h"
#include "bfrun/drive/matting.h"

// How the host hands over a selection: filterRect its bounding rectangle, or the whole layer
// (the host clips to the selection itself afterwards); none: no selection reaches the module.
enum class Selection { none, bounds, whole_image };
enum class Layers { rgba, rgba_and_grey };        // planes are always the layer's channels
enum class ColumnBytes { zero, planes };          // in/outColumnBytes: 0, or planes x sample size
enum class OutPlanes { set, zeroed };             // outLayerPlanes, outTransparencyMask...
enum class Tiles { fixed, image, image_swapped }; // swapped: height = width, width = height
// sSPBasic: NULL, bfrun's stand-in, or one whose AcquireSuite says kSPSuiteNotFoundError.
enum class Suite { none, refusing, not_found };
enum class BigDocument { none, present };
enum class Sizes { before_parameters, after_parameters }; // imageSize, planes, filterRect, mode
enum class Data { kept, fresh };                          // *data and parameters between runs
// outData on advanceState: refilled when the rectangle or planes change, from the layer as
// stored so far; or dropped after each store and refilled from the layer as it was before.
enum class Refill { changed_from_destination, every_call_from_original };
// Whether a rectangle asks for anything: non-empty; or by its right edge (the loop goes on
// while right != 0, a buffer is served while right > 0 and bottom > 0).
enum class RectTest { non_empty, right_edge };
enum class MaskInLoop { always, with_have_mask };
enum class Ending { store_then_finish, finish_then_store, store_only }; // after the loop
enum class Machines { any, x64_only };

struct HostProfile {
    const char* name;
    OSType host_sig;
    int32_t depth;
    Matte matte; // white: Photoshop's matting in and out
    int16_t filter_case;
    Selection selection;
    int16_t selected_case; // filterCase with a selection
    Layers layers;
    ColumnBytes column_bytes;
    OutPlanes out_planes;
    Tiles tiles;
    int16_t tile_width, tile_height; // for Tiles::fixed
    Suite suite;
    BigDocument big_document;
    Sizes sizes;
    Data data;
    Refill refill;
    RectTest rect_test;
    MaskInLoop mask_in_loop;
    Ending ending;
    Machines machines;
};

extern const HostProfile kHostProfiles[];
extern const size_t kHostProfileCount;
