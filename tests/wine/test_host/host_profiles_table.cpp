// The hosts' table: how each host fills the filter record and drives the selectors, from its
// published source where there is one. No host reads the module's white-matting choice but
// Photoshop: PSFilterPdn and PSFilterHost read it and leave the pixels as they are, gimp-pspi
// never reads it, pspiHost reads it only to pick a filter case.
#include "tests/wine/test_host/host_profiles.h"

namespace {

// A four-character code as the protocol writes it: "NDP." is 0x4E44502E.
constexpr OSType code(const char (&c)[5]) {
    return OSType(uint8_t(c[0])) << 24 | OSType(uint8_t(c[1])) << 16 | OSType(uint8_t(c[2])) << 8 |
           uint8_t(c[3]);
}

// Four bytes memcpy'd into hostSig, as read back on a little-endian machine: "GIMP" is 'PMIG'.
constexpr OSType copied(const char (&c)[5]) {
    return OSType(uint8_t(c[3])) << 24 | OSType(uint8_t(c[2])) << 16 | OSType(uint8_t(c[1])) << 8 |
           uint8_t(c[0]);
}

} // namespace

// clang-format off
const HostProfile kHostProfiles[] = {
    // Photoshop, as bfrun plays it: 256-pixel tiles, a basic suite that offers no suite, the
    // big-document record, *data and parameters kept from run to run.
    {"photoshop", code("8BIM"), 8, Matte::white, 4, Selection::bounds, 5, Layers::rgba_and_grey,
     ColumnBytes::planes, OutPlanes::set, Tiles::fixed, 256, 256, Suite::refusing,
     BigDocument::present, Sizes::before_parameters, Data::kept, Refill::changed_from_destination,
     RectTest::non_empty, MaskInLoop::always, Ending::store_then_finish, Machines::any},
    // Paint.NET through PSFilterPdn (LoadPsFilter.cs): BGRA layers only; tiles of the layer's
    // size with height and width swapped (capped at 1024); a selection leaves filterRect the
    // whole layer (haveMask set) and Paint.NET clips the result itself.
    {"paint_net", code("NDP."), 8, Matte::none, 4, Selection::whole_image, 5, Layers::rgba,
     ColumnBytes::planes, OutPlanes::set, Tiles::image_swapped, 0, 0, Suite::not_found,
     BigDocument::none, Sizes::before_parameters, Data::kept, Refill::changed_from_destination,
     RectTest::non_empty, MaskInLoop::always, Ending::store_then_finish, Machines::any},
    // GIMP through gimp-pspi (pspi.c): filterCase 0 always, filterRect the selection's bounds,
    // GIMP's 64-pixel tiles; Parameters sees no sizes yet (pspi_params), advance_state_proc
    // refills outData from the drawable, not from the shadow it stores to; no Finish
    // (pspi_apply has it under #if 0).
    {"gimp_pspi", copied("GIMP"), 8, Matte::none, 0, Selection::bounds, 0, Layers::rgba_and_grey,
     ColumnBytes::zero, OutPlanes::set, Tiles::fixed, 64, 64, Suite::none, BigDocument::none,
     Sizes::after_parameters, Data::kept, Refill::every_call_from_original, RectTest::non_empty,
     MaskInLoop::with_have_mask, Ending::store_only, Machines::any},
    // spetric's pspiHost (TPspiCore.cpp), hostSig the bytes "spHO" (its cSig) memcpy'd: the
    // filter case is looked up in the 'fici' flags one entry off, which with every case
    // allowed gives 4 (5 with a mask); filterRect its region of interest; tiles the image's
    // size; Finish before the last ProcessAdvanceState.
    {"pspihost", copied("spHO"), 8, Matte::none, 4, Selection::bounds, 5, Layers::rgba_and_grey,
     ColumnBytes::zero, OutPlanes::set, Tiles::image, 0, 0, Suite::none, BigDocument::none,
     Sizes::before_parameters, Data::kept, Refill::changed_from_destination,
     RectTest::right_edge, MaskInLoop::with_have_mask, Ending::finish_then_store, Machines::any},
    // IrfanView: closed source. Known: the out*Planes members are zero, neither parameters nor
    // *data outlive a run, and an error code shows no message. The rest is the open hosts'
    // commonest way: PSFilterPdn's band handling and ending, no matting, no big-document
    // record, tiles of the image's size, a selection as its bounds (pspiHost's and gimp-pspi's
    // way). Two open hosts give a basic suite and two do not: IrfanView is taken as one that
    // does not, Paint Shop Pro below as one that does, so each kind is run.
    {"irfanview", code("UP20"), 8, Matte::none, 4, Selection::bounds, 5, Layers::rgba,
     ColumnBytes::planes, OutPlanes::zeroed, Tiles::image, 0, 0, Suite::none, BigDocument::none,
     Sizes::before_parameters, Data::fresh, Refill::changed_from_destination,
     RectTest::non_empty, MaskInLoop::always, Ending::store_then_finish, Machines::any},
    // Paint Shop Pro: closed source, x64 only. Known: it writes the tile sizes as unsigned
    // values, so they arrive negative. The rest as IrfanView's above.
    {"paintshop_pro", code("PSP9"), 8, Matte::none, 4, Selection::bounds, 5, Layers::rgba,
     ColumnBytes::planes, OutPlanes::set, Tiles::fixed, -32768, -1, Suite::not_found,
     BigDocument::none, Sizes::before_parameters, Data::kept, Refill::changed_from_destination,
     RectTest::non_empty, MaskInLoop::always, Ending::store_then_finish, Machines::x64_only},
    // PSFilterHost (LoadPsFilter.cs), hostSig ".NET": PSFilterPdn's flow on a 16-bit RGB48
    // layer, tiles of the image's size.
    {"psfilterhost_16", code(".NET"), 16, Matte::none, 4, Selection::whole_image, 5, Layers::rgba,
     ColumnBytes::planes, OutPlanes::set, Tiles::image, 0, 0, Suite::not_found, BigDocument::none,
     Sizes::before_parameters, Data::kept, Refill::changed_from_destination, RectTest::non_empty,
     MaskInLoop::always, Ending::store_then_finish, Machines::any},
};
// clang-format on

const size_t kHostProfileCount = sizeof kHostProfiles / sizeof kHostProfiles[0];
