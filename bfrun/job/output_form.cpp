#include "bfrun/job/output_form.h"

bool covers_image(const VRect& rect, const ImageLayout& image) {
    return rect.top == 0 && rect.left == 0 && static_cast<uint32_t>(rect.bottom) == image.height &&
           static_cast<uint32_t>(rect.right) == image.width;
}

// The grey stays grey at every depth: equal samples un-matted at one alpha, and converted to
// the file's samples, stay equal. A CMYK layer is not decoded (the module refuses it) and
// keeps its own form.
int output_channels(const ImageLayout& image, const RunSettings& settings, InkKind ink) {
    if (image.cmyk) return image.channels;
    if (ink == InkKind::colour) return 4;
    if (ink == InkKind::keep) return image.channels;
    if (image.channels == 4 && !image.cmyk && covers_image(settings.filter_rect, image)) return 2;
    return image.channels;
}
