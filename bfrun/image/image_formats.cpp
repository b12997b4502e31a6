#include "bfrun/image/image_formats.h"

std::string image_format_list(const char* last) {
    std::string list;
    for (size_t i = 0; i < std::size(kImageFormats); ++i) {
        if (i > 0) list += i + 1 < std::size(kImageFormats) ? ", " : std::string(" ") + last + " ";
        list += kImageFormats[i].name;
    }
    return list;
}
