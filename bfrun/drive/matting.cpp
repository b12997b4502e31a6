#include "bfrun/drive/matting.h"

uint32_t matte_level(Matte matte, uint32_t scale) {
    switch (matte) {
    case Matte::white:
        return scale;
    case Matte::grey:
        return (scale + 1) / 2;
    default:
        return 0;
    }
}

float matte_level(Matte matte) {
    switch (matte) {
    case Matte::white:
        return 1.0f;
    case Matte::grey:
        return 0.5f;
    default:
        return 0.0f;
    }
}
