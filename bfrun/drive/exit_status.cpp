// The meaning of each exit status, and the PNG code's failures mapped onto them.
#include "bfrun/drive/exit_status.h"

const ExitStatusMeaning kExitStatusMeanings[] = {
    {kExitDone, "done: result 0 and the bands covered the rectangle"},
    {kExitUsage, "bad command line; in a batch, an output that would replace its input or two "
                 "inputs with one name"},
    {kExitBadInput, "input not usable: missing, unreadable, not a PNG, JPEG or TIFF file, damaged "
                    "(a critical chunk's CRC, the image data's checksum or zlib stream, an empty "
                    "or malformed chunk, a cut file, any data libjpeg or libtiff could not "
                    "decode), of a kind bfrun does not read, no pixels; a pattern or folder "
                    "that gave no file"},
    {kExitTooLarge, "image too large: beyond the module's limits, --max-pixels, or ancillary "
                    "chunks past 16 MiB (64 MiB in all)"},
    {kExitWriteFailed, "OUT.png could not be written, or is read-only; -d DIR could not be made"},
    {kExitBadModule, "module not usable: not loadable, no or malformed property list, no entry "
                     "point, or its filter case table says it cannot filter the case"},
    {kExitRefused, "refused: the module requested nothing (it showed its message box)"},
    {kExitBadParameters, "result filterBadParameters (-30100)"},
    {kExitCanceled, "stopped: result userCanceledErr (-128), or Ctrl+C or the console closed "
                    "(OUT.png left as it was)"},
    {kExitOtherResult, "any other nonzero result (printed by number)"},
    {kExitProtocolFault, "protocol fault: the bands did not cover the rectangle, the module wrote "
                         "into the row padding, wrote colour where its result is grey, asked for "
                         "pixels outside the layer, or kept asking without end"},
    {kExitOutOfMemory, "out of memory"},
};
const size_t kExitStatusCount = sizeof kExitStatusMeanings / sizeof kExitStatusMeanings[0];

Failure failure_from(const ImageError& error) {
    switch (error.kind) {
    case ImageErrorKind::none:
        return Failure{};
    case ImageErrorKind::too_large:
        return Failure{kExitTooLarge, error.message};
    case ImageErrorKind::write_failed:
        return Failure{kExitWriteFailed, error.message};
    case ImageErrorKind::out_of_memory:
        return Failure{kExitOutOfMemory, error.message};
    case ImageErrorKind::bad_input:
        break;
    }
    return Failure{kExitBadInput, error.message};
}
