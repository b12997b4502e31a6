// Fuzz target: bfrun's PNG path on arbitrary files, in memory. The input is a file; its last
// byte, when there is one, picks how bfrun takes it:
//   bit 0      read only: the reader alone, row by row, or at once for an interlaced file;
//   otherwise  the whole run: read as the real PluginMain's bands reach the rows, filtered and
//              written (zlib level 0, so that the fuzzer spends its time on reading), with
//   bit 1      a rectangle of the image (filter case 5);
//   bit 2      the layer as float.
// Images are capped at 2^16 pixels, so no input costs much memory or time.
//
// Checked on every input, and the input aborts when one fails:
//   - a refused file gets a status and one printable line that says why;
//   - a file the reader takes has the layout the rows are made of (2 or 4 channels, 8 or 16
//     bits, rows of width x channels x bytes), within the limits;
//   - a file the whole run takes gives a PNG that bfrun's own reader reads back at the same
//     width and height.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "about/about_box.h"
#include "host/message_box.h"
#include "host/system_browser.h"
#include "host/plugin_main.h"
#include "bfrun/cli/options.h"
#include "bfrun/job/filter_image.h"
#include "bfrun/image/png_reader.h"
#include "tests/fuzz/image_reader_checks.h"

namespace {

constexpr uint64_t kMaxPixels = uint64_t{1} << 16;

void require(bool condition) {
    if (!condition) std::abort();
}

void require_one_line(const Failure& failure) {
    require(failure.status != kExitDone && !failure.message.empty());
    for (char c : failure.message)
        require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

void read_only(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    PngReader reader(source);
    fuzz_checks::read_to_the_end(&reader);
}

Pipl white_matting_module() {
    Pipl pipl;
    for (int c = 1; c <= 7; ++c)
        pipl.filter_cases.push_back({4, 4, 0x06});
    return pipl;
}

void whole_run(const uint8_t* data, size_t size, uint8_t mode) {
    std::vector<std::string> args = {"apply",
                                     "in.png",
                                     "out.png",
                                     "--compression",
                                     "0",
                                     "--max-pixels",
                                     std::to_string(kMaxPixels)};
    if (mode & 2) args.insert(args.end(), {"--rect", "1,1,3,2"});
    if (mode & 4) args.insert(args.end(), {"--depth", "32"});
    Options options;
    std::string error;
    require(parse_options(args, options, error));

    MemorySource source(data, size);
    MemorySink sink;
    FilterSummary summary;
    RunObserver quiet;
    const Failure failure =
        filter_image(source, sink, PluginMain, white_matting_module(), options.run, quiet, summary);
    if (failure.status != kExitDone) return require_one_line(failure);

    MemorySource written(sink.bytes);
    PngReader reader(written);
    ImageError reread;
    require(reader.open({}, reread));
    require(reader.layout().width == summary.width && reader.layout().height == summary.height);
}

} // namespace

// The module shows no window here; a refusal only ends the run.
void show_message_box(intptr_t /*owner*/, const char16_t* /*caption*/, const char16_t* /*text*/) {}
void show_about_box(intptr_t /*owner*/, void* /*module_instance*/, AddressOpener /*open*/) {}

void open_in_system_browser(const char* /*address*/) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[size - 1];
    if (mode & 1)
        read_only(data, size - 1);
    else
        whole_run(data, size - 1, mode);
    return 0;
}
