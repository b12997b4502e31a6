#include "bfrun/drive/pipl.h"

#include <cstdio>

namespace {

const char* const kModeNames[16] = {"Bitmap", "Grayscale",    "Indexed", "RGB",  "CMYK",  "HSL",
                                    "HSB",    "Multichannel", "Duotone", "Lab",  nullptr, nullptr,
                                    nullptr,  nullptr,        nullptr,   nullptr};

const char* const kCaseNames[7] = {
    "flat image, no selection",
    "flat image, with selection",
    "floating selection",
    "editable transparency, no selection",
    "editable transparency, with selection",
    "protected transparency, no selection",
    "protected transparency, with selection",
};

std::string handling_name(uint8_t handling, bool input) {
    switch (handling) {
    case 0:
        return "cannot filter (0)";
    case 1:
        return "straight data (1)";
    case 2:
        return "black matting (2)";
    case 3:
        return "grey matting (3)";
    case 4:
        return "white matting (4)";
    default:
        return std::string(input ? "input" : "output") + " handling " + std::to_string(handling);
    }
}

std::string describe_flags(uint8_t flags) {
    char hex[8];
    (void)std::snprintf(hex, sizeof hex, "0x%02X", flags); // 4 characters and a NUL
    std::string text = std::string("flags ") + hex + ":";
    text += (flags & 1) ? " output buffer left blank" : " source copied to output";
    if (flags & 2) text += ", works with blank data";
    if (flags & 4) text += ", filters layer masks";
    if (flags & 8) text += ", writes outside the selection";
    return text;
}

} // namespace

std::string describe_modes(const std::vector<uint8_t>& modes) {
    std::string text;
    for (size_t bit = 0; bit < modes.size() * 8; ++bit) {
        if ((modes[bit / 8] & (0x80 >> (bit % 8))) == 0) continue;
        if (!text.empty()) text += ", ";
        if (bit < 16 && kModeNames[bit] != nullptr)
            text += kModeNames[bit];
        else
            text += "mode bit " + std::to_string(bit);
    }
    return text.empty() ? "none" : text;
}

std::string describe_pipl(const Pipl& pipl) {
    std::string text;
    text += "kind: " + pipl.kind + (pipl.kind == "8BFM" ? " (filter)" : "") + "\n";
    text += "menu name: " + pipl.menu_name + "\n";
    text += "category: " + pipl.category + "\n";
    if (pipl.has_version)
        text += "interface version: " + std::to_string(pipl.version >> 16) + "." +
                std::to_string(pipl.version & 0xFFFF) + "\n";
    else
        text += "interface version: (none)\n";
    text += "entry point (" + std::string(kX64Name) + "): " +
            (pipl.entry_point_x86_64.empty() ? std::string("(none)") : pipl.entry_point_x86_64) +
            "\n";
    if (!pipl.entry_point_arm64.empty())
        text += "entry point (" + std::string(kArm64Name) + "): " + pipl.entry_point_arm64 + "\n";
    text += "modes: " + describe_modes(pipl.modes) + "\n";
    text += "enable: " + pipl.enable + "\n";
    if (pipl.has_limits)
        text += "largest image: " + std::to_string(pipl.max_height) + " rows x " +
                std::to_string(pipl.max_width) + " columns\n";
    else
        text += "largest image: (no limits given)\n";
    text += std::string("filter layer: ") + (pipl.filter_layer ? "yes" : "no") + "\n";
    text += "filter cases:\n";
    for (size_t i = 0; i < pipl.filter_cases.size(); ++i) {
        const FilterCaseHandling& c = pipl.filter_cases[i];
        text += "  " + std::to_string(i + 1) + " " +
                (i < 7 ? kCaseNames[i] : "(beyond the known cases)") + ": input " +
                handling_name(c.input, true) + ", output " + handling_name(c.output, false) + ", " +
                describe_flags(c.flags) + "\n";
    }
    return text;
}
