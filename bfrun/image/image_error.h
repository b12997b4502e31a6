// How the PNG code fails: the kind of failure, which the code above maps to an exit status,
// and one line for the user saying what is wrong and, where known, in which chunk and at which
// byte.
#pragma once

#include <string>

enum class ImageErrorKind {
    none,
    bad_input,    // not a PNG, damaged, cut short or unreadable
    too_large,    // past a size limit
    write_failed, // the output could not be written
    out_of_memory,
};

struct ImageError {
    ImageErrorKind kind = ImageErrorKind::none;
    std::string message;
};

inline bool image_fail(ImageError& error, ImageErrorKind kind, const std::string& message) {
    error.kind = kind;
    error.message = message;
    return false;
}
