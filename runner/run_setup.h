// From the command line, the module's property list and the image to the settings of one run,
// with the checks that come first: image size against the module's limits, the rectangle
// against the image, and the module's handling of the filter case.
#pragma once

#include <string>

#include "runner/host_run.h"
#include "runner/options.h"
#include "runner/outcome.h"
#include "runner/pipl.h"

// The host's image mode for a layer: Grayscale or RGB at its depth.
int16_t image_mode_for(int planes, int32_t depth);

Matte matte_for_handling(uint8_t handling, bool& known);

// Checks the image's size before it is decoded. kExitDone when it may be read.
ExitStatus check_image_size(uint32_t width, uint32_t height, const Pipl& pipl,
                            const Options& options, std::string& error);

// kExitDone and the settings, or an exit status and its explanation.
ExitStatus setup_run(const Options& options, const Pipl& pipl, const Layer& layer,
                     RunSettings& settings, std::string& error);
