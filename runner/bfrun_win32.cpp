// bfrun: a host for Brightfade.8bf. "info" prints the module's property list; "apply" filters
// a PNG file through the module as Photoshop would and writes the result.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "runner/console_win32.h"
#include "runner/host_run.h"
#include "runner/options.h"
#include "runner/outcome.h"
#include "runner/pipl.h"
#include "runner/png_io.h"
#include "runner/progress_bar.h"
#include "runner/run_setup.h"
#include "runner/windows_files.h"

namespace {

// A progress line not yet ended by a line feed.
bool progress_open = false;

int fail(int status, const std::string& message) {
    if (progress_open) std::fputs("\n", stderr);
    progress_open = false;
    std::fprintf(stderr, "bfrun: %s\n", message.c_str());
    return status;
}

void show_progress(int32_t done, int32_t total) {
    std::fputs(progress_line(done, total, 30).c_str(), stderr);
    progress_open = done < total;
    if (!progress_open) std::fputs("\n", stderr);
    std::fflush(stderr);
}

bool load_pipl(const std::string& module_path, Pipl& pipl, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!read_property_list(module_path, bytes, error)) return false;
    return parse_pipl(bytes.data(), bytes.size(), pipl, error);
}

int info(const Options& options) {
    const std::string module_path = options.module.empty() ? default_module_path() : options.module;
    Pipl pipl;
    std::string error;
    if (!load_pipl(module_path, pipl, error)) return fail(kExitBadModule, error);
    std::printf("module: %s\n%s", module_path.c_str(), describe_pipl(pipl).c_str());
    return kExitDone;
}

int apply(const Options& options) {
    const std::string module_path = options.module.empty() ? default_module_path() : options.module;
    Pipl pipl;
    std::string error;
    if (!load_pipl(module_path, pipl, error)) return fail(kExitBadModule, error);
    if (pipl.entry_point.empty())
        return fail(kExitBadModule, module_path + " names no x86-64 entry point ('8664')");

    std::vector<uint8_t> file;
    if (!read_file(options.input, file, error))
        return fail(kExitBadInput, options.input + ": " + error);
    uint32_t width = 0, height = 0;
    if (!png_dimensions(file, width, height))
        return fail(kExitBadInput, options.input + ": not a PNG file");
    ExitStatus status = check_image_size(width, height, pipl, options, error);
    if (status != kExitDone) return fail(status, options.input + ": " + error);
    PngImage image;
    if (!decode_png(file, image, error)) return fail(kExitBadInput, options.input + ": " + error);
    file.clear();
    Layer layer = layer_from_png(image, options.depth == 32);
    const int bits = image.bits;
    image = PngImage{};

    RunSettings settings;
    status = setup_run(options, pipl, layer, settings, error);
    if (status != kExitDone) return fail(status, error);

    void* module = load_module(module_path, error);
    if (module == nullptr) return fail(kExitBadModule, error);
    auto entry = reinterpret_cast<PluginEntry>(find_entry(module, pipl.entry_point));
    if (entry == nullptr) {
        unload_module(module);
        return fail(kExitBadModule, module_path + " exports no " + pipl.entry_point);
    }

    catch_interrupts();
    settings.owner_window = create_owner_window();
    settings.progress = show_progress;
    settings.interrupted = user_interrupted;
    if (options.show_message_box_text) start_message_box_watch(settings.owner_window);
    const auto started = std::chrono::steady_clock::now();
    const RunReport report = run_filter(entry, layer, settings);
    const auto took = std::chrono::steady_clock::now() - started;
    if (options.show_message_box_text) stop_message_box_watch();
    destroy_owner_window(settings.owner_window);
    unload_module(module);

    status = run_exit_status(report, error);
    if (status != kExitDone) return fail(status, error);
    std::vector<uint8_t> encoded;
    if (!encode_png(png_from_layer(layer, bits), encoded))
        return fail(kExitWriteFailed, options.output + ": cannot encode the image");
    if (!replace_file(options.output, encoded, error))
        return fail(kExitWriteFailed, options.output + ": " + error);
    std::fprintf(stderr, "bfrun: %d x %d, %d bands, filtered in %.3f s\n", layer.width,
                 layer.height, report.requests, std::chrono::duration<double>(took).count());
    return kExitDone;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(narrow_utf8(argv[i]));
    Options options;
    std::string error;
    if (!parse_options(args, options, error)) {
        std::fprintf(stderr, "bfrun: %s\n\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options.command == Command::help) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }
    if (options.command == Command::info) return info(options);
    return apply(options);
}
