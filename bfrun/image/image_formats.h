// The image formats bfrun reads, in the order bfrun names them: each one's name for the user and
// the extensions its files go by. A file's format is told by its bytes (image_format_of); the
// extensions only pick a folder's image files and refuse an OUT named for a format bfrun does
// not write.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>

enum class ImageFormat { png, jpeg, tiff, unknown };

struct ImageFormatNames {
    ImageFormat format;
    const char* name;
    const char* extensions[4]; // lower case, without the dot; null after the last
};

inline constexpr ImageFormatNames kImageFormats[] = {
    {ImageFormat::png, "PNG", {"png"}},
    {ImageFormat::jpeg, "JPEG", {"jpg", "jpeg", "jpe", "jfif"}},
    {ImageFormat::tiff, "TIFF", {"tif", "tiff"}},
};
static_assert(std::size(kImageFormats) == static_cast<size_t>(ImageFormat::unknown),
              "one entry for each format, in the order of ImageFormat");

// The names in a list, the last one after `last`: "PNG, JPEG or TIFF".
std::string image_format_list(const char* last);
