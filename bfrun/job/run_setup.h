// From the command line, the module's property list and the image to the settings of one run,
// with the checks that come first: the size limits the reader applies before decoding, the
// rectangle against the image, and the module's handling of the filter case.
#pragma once

#include <string>

#include "bfrun/drive/run_filter.h"
#include "bfrun/job/run_request.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/drive/pipl.h"
#include "bfrun/image/image_reader.h"

Matte matte_for_handling(uint8_t handling, bool& known);

// The sizes the reader accepts: the module's 'ms32' limits (16-bit coordinates when the run
// passes no big-document record) and --max-pixels.
ReadLimits read_limits_for(const Pipl& pipl, const RunRequest& request);

// kExitDone and the settings for an image of this layout, or an exit status and why.
ExitStatus setup_run(const RunRequest& request, const Pipl& pipl, const ImageLayout& image,
                     RunSettings& settings, std::string& error);
