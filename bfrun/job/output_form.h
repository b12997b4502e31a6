// The form OUT.png takes, decided before the module runs, so that no file is read twice for
// it. Brightfade, run by a host that signs '8BIM' as bfrun does, writes every pixel of the
// filter rectangle as a grey (its colour samples equal) with alpha, and leaves the pixels
// outside the rectangle as they were; so a colour layer it filters all over comes out grey,
// which grey + alpha holds exactly in half the bytes.
#pragma once

#include "bfrun/drive/run_settings.h"
#include "bfrun/image/image_reader.h"
#include "bfrun/image/ink.h"

// The filter rectangle is the whole image.
bool covers_image(const VRect& rect, const ImageLayout& image);

// The channels OUT.png is written with: 2 (grey + alpha) for a grey layer and for a colour one
// filtered all over, the input's 4 (RGBA) otherwise. --ink COLOUR makes it 4 for any layer;
// --ink keep the input's own channels (a grey stays grey).
int output_channels(const ImageLayout& image, const RunSettings& settings,
                    InkKind ink = InkKind::none);
