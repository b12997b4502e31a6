#include "bfrun/job/run_setup.h"

#include <algorithm>

#include "host/image_modes.h"

Matte matte_for_handling(uint8_t handling, bool& known) {
    known = handling >= 1 && handling <= 4;
    switch (handling) {
    case 2:
        return Matte::black;
    case 3:
        return Matte::grey;
    case 4:
        return Matte::white;
    default:
        return Matte::none;
    }
}

ReadLimits read_limits_for(const Pipl& pipl, const RunRequest& request) {
    ReadLimits limits;
    limits.max_pixels = request.max_pixels;
    if (pipl.has_limits) {
        limits.max_width = static_cast<uint32_t>(std::max(pipl.max_width, 0));
        limits.max_height = static_cast<uint32_t>(std::max(pipl.max_height, 0));
        limits.size_limit_owner = "the module accepts";
    }
    if (!request.big_document) {
        limits.max_width = std::min<uint32_t>(limits.max_width, 32767);
        limits.max_height = std::min<uint32_t>(limits.max_height, 32767);
        limits.size_limit_owner = "16-bit coordinates allow (no big-document record)";
    }
    return limits;
}

ExitStatus setup_run(const RunRequest& request, const Pipl& pipl, const ImageLayout& image,
                     RunSettings& settings, std::string& error) {
    settings = RunSettings{};
    settings.depth = request.depth == 32 ? 32 : image.bits;
    // A CMYK file is offered as what it is, which the module refuses with its own message.
    if (request.mode >= 0)
        settings.image_mode = request.mode;
    else if (image.cmyk)
        settings.image_mode = image.bits == 16 ? plugInModeCMYK64 : plugInModeCMYKColor;
    else
        settings.image_mode = mode_for_planes(image.channels, settings.depth);
    settings.filter_case = request.filter_case;
    if (request.has_rect) {
        const VRect& r = request.rect;
        if (static_cast<uint32_t>(r.bottom) > image.height ||
            static_cast<uint32_t>(r.right) > image.width) {
            error = "--rect reaches outside the " + std::to_string(image.width) + " x " +
                    std::to_string(image.height) + " image";
            return kExitUsage;
        }
        settings.filter_rect = r;
    } else {
        settings.filter_rect = {0, 0, static_cast<int32_t>(image.height),
                                static_cast<int32_t>(image.width)};
    }
    const size_t index = static_cast<size_t>(request.filter_case - 1);
    if (index >= pipl.filter_cases.size()) {
        error =
            "the module's property list has no filter case " + std::to_string(request.filter_case);
        return kExitBadModule;
    }
    const FilterCaseHandling& handling = pipl.filter_cases[index];
    bool input_known = false, output_known = false;
    settings.input_matte = matte_for_handling(handling.input, input_known);
    settings.output_matte = matte_for_handling(handling.output, output_known);
    if (!input_known || !output_known) {
        error = "the module cannot filter case " + std::to_string(request.filter_case) +
                " (handling " + std::to_string(handling.input) + "/" +
                std::to_string(handling.output) + ")";
        return kExitBadModule;
    }
    settings.copy_source_to_output = (handling.flags & 1) == 0;
    settings.pad_bytes = request.pad_rows;
    settings.big_document = request.big_document;
    settings.basic_suite = request.basic_suite;
    settings.abort_after = request.abort_after;
    settings.advance_error_at = request.advance_error_at;
    settings.advance_error = request.advance_error;
    settings.owner_window = request.owner_window;
    return kExitDone;
}
