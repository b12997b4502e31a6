// Text from files and the module made safe for one line of the console.
#include "bfrun/cli/printable_line.h"

#include <cstdint>

std::string printable_line(const std::string& text) {
    std::string line;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        // The length of a well-formed UTF-8 sequence starting here, or 0.
        size_t length = lead < 0x80         ? 1
                        : (lead >> 5) == 6  ? 2
                        : (lead >> 4) == 14 ? 3
                        : (lead >> 3) == 30 ? 4
                                            : 0;
        if (length == 0 || i + length > text.size()) length = 0;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<uint8_t>(text[i + k]) >> 6) != 2) length = 0;
        if (length >= 2) {
            // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
            uint32_t code = lead & (0x7F >> length);
            for (size_t k = 1; k < length; ++k)
                code = code << 6 | (static_cast<uint8_t>(text[i + k]) & 0x3F);
            static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
            // C1 controls (U+0080..U+009F) print nothing either.
            if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
                code < 0xA0)
                length = 0;
        }
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            line += '?';
            ++i;
            continue;
        }
        line.append(text, i, length);
        i += length;
    }
    return line;
}
