#include "runner/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

const char* const kUsage =
    "Usage:\n"
    "  bfrun info [--module PATH]\n"
    "      Prints the module's plug-in property list.\n"
    "  bfrun apply [--module PATH] IN.png OUT.png [options]\n"
    "      Filters IN.png as one layer with transparency and writes OUT.png (which may be\n"
    "      IN.png itself: it is replaced only once the new file is complete).\n"
    "  bfrun apply [--module PATH] IN.png... -d DIR [--jobs N] [options]\n"
    "      Filters each file into DIR under its own name; a file that fails does not stop\n"
    "      the others. A file that would replace itself, or two inputs with one name, are\n"
    "      refused (status 1).\n"
    "  bfrun --help\n"
    "\n"
    "Options of apply:\n"
    "  -d DIR                 the folder the outputs go to (batch)\n"
    "  --jobs N               filter N files at once, each share in a bfrun of its own\n"
    "                         (default: the number of processors)\n"
    "  --compression L        zlib level 0..9 of OUT.png (default 6)\n"
    "  --max-pixels N         refuse images of more than N pixels (default 1073741824,\n"
    "                         that is 32768 x 32768; at most 4294967296)\n"
    "  --quiet                no progress bar and no line for a file done\n"
    "  --stats                print the peak memory and the time taken\n"
    "  --depth 32             run the layer as 32-bit float (default: the file's 8 or 16 bits)\n"
    "  --rect T,L,B,R         filter only this rectangle (a selection: filter case 5)\n"
    "  --filter-case K        tell the module filter case K (1..7)\n"
    "  --mode M               tell the module image mode M (e.g. 4 for CMYK)\n"
    "  --pad-rows N           end every row of outData in N pad bytes\n"
    "  --no-big-document      pass no big-document record (16-bit coordinates only)\n"
    "  --no-basic-suite       pass no basic suite\n"
    "  --abort-after N        the abort poll says yes once N bands were served\n"
    "  --advance-error N,E    the N-th advanceState returns E instead of a band\n"
    "  --show-message-box     print the caption and text of a message box the module shows,\n"
    "                         then close it (needs a display; one file only)\n"
    "\n"
    "Input: grey, grey+alpha, RGB, RGBA or palette PNG, 1 to 16 bits, interlaced or not.\n"
    "Every chunk CRC and the image data's checksum are checked; a damaged file is refused.\n"
    "A palette index past the end of the palette is shown as opaque black. tRNS becomes\n"
    "alpha; where there is no alpha an opaque one is added. OUT.png is grey+alpha when the\n"
    "input is grey or the result has no colour, RGBA otherwise, at the input's 8 or 16 bits.\n"
    "\n"
    "Exit status (a batch exits with the highest status of its files):\n"
    "  0  done: result 0 and the bands covered the rectangle\n"
    "  1  bad command line\n"
    "  2  input not usable: missing, unreadable, not a PNG, damaged (a CRC, the image\n"
    "     data's checksum or zlib stream, a truncated file), no pixels\n"
    "  3  image too large: beyond the module's limits, --max-pixels, 16-bit coordinates\n"
    "     with --no-big-document, or ancillary chunks past 16 MiB (64 MiB in all)\n"
    "  4  OUT.png could not be written\n"
    "  5  module not usable: not loadable, no or malformed property list, no entry point,\n"
    "     or its filter case table says it cannot filter the case\n"
    "  6  refused: the module requested nothing (it showed its message box)\n"
    "  7  result filterBadParameters (-30100)\n"
    "  8  stopped: result userCanceledErr (-128), or Ctrl+C (OUT.png left as it was)\n"
    "  9  any other nonzero result\n"
    "  10 protocol fault: the bands did not cover the rectangle, the module wrote into\n"
    "     the row padding, asked for pixels outside the layer, or kept asking without end\n"
    "  11 out of memory\n";

namespace {

// long long: long is 32 bits on Windows, and --max-pixels goes to 2^32.
bool parse_integer(const std::string& text, long long min, long long max, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= min && value <= max;
}

bool parse_list(const std::string& text, size_t count, long long min, long long max,
                std::vector<long long>& values) {
    values.clear();
    size_t start = 0;
    while (values.size() < count) {
        const size_t comma = text.find(',', start);
        const bool last = values.size() + 1 == count;
        if (last != (comma == std::string::npos)) return false;
        long long value;
        if (!parse_integer(text.substr(start, comma - start), min, max, value)) return false;
        values.push_back(value);
        start = comma + 1;
    }
    return true;
}

// Options with one integer value: name, range, where it goes.
struct IntegerOption {
    const char* name;
    long long min, max;
};

const IntegerOption kIntegerOptions[] = {
    {"--filter-case", 1, 7},           {"--mode", 0, 32767},      {"--pad-rows", 0, 4096},
    {"--abort-after", 0, INT_MAX},     {"--jobs", 1, 64},         {"--compression", 0, 9},
    {"--max-pixels", 1, 4294967296LL}, {"--batch-worker", 1, 64},
};

void set_integer(Options& o, const std::string& name, long long v) {
    if (name == "--filter-case") o.filter_case = static_cast<int16_t>(v);
    if (name == "--mode") o.mode = static_cast<int16_t>(v);
    if (name == "--pad-rows") o.pad_rows = static_cast<int32_t>(v);
    if (name == "--abort-after") o.abort_after = static_cast<int32_t>(v);
    if (name == "--jobs") o.jobs = static_cast<int32_t>(v);
    if (name == "--compression") o.compression = static_cast<int32_t>(v);
    if (name == "--max-pixels") o.max_pixels = static_cast<uint64_t>(v);
    if (name == "--batch-worker") {
        o.worker = true;
        o.threads = static_cast<int32_t>(v);
    }
}

} // namespace

bool parse_options(const std::vector<std::string>& args, Options& options, std::string& error) {
    options = Options{};
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        options.command = Command::help;
        return true;
    }
    if (command == "info")
        options.command = Command::info;
    else if (command == "apply")
        options.command = Command::apply;
    else {
        error = "unknown command \"" + command + "\"";
        return false;
    }

    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        const std::string value = has_value ? args[i + 1] : std::string();
        auto need_value = [&]() {
            if (!has_value) error = arg + " needs a value";
            return has_value;
        };
        const IntegerOption* integer = nullptr;
        for (const IntegerOption& option : kIntegerOptions)
            if (arg == option.name) integer = &option;
        const size_t at = i;
        options.option_args.push_back(arg);
        std::vector<long long> list;
        if (arg == "--module") {
            if (!need_value()) return false;
            options.module = value;
            ++i;
        } else if (arg == "-d") {
            if (!need_value()) return false;
            options.directory = value;
            ++i;
        } else if (arg == "--no-big-document") {
            options.big_document = false;
        } else if (arg == "--no-basic-suite") {
            options.basic_suite = false;
        } else if (arg == "--show-message-box") {
            options.show_message_box_text = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--depth") {
            if (!need_value()) return false;
            if (value != "32") {
                error = "--depth takes only 32";
                return false;
            }
            options.depth = 32;
            ++i;
        } else if (integer != nullptr) {
            if (!need_value()) return false;
            long long number = 0;
            if (!parse_integer(value, integer->min, integer->max, number)) {
                error = "bad value \"" + value + "\" for " + arg + " (" +
                        std::to_string(integer->min) + ".." + std::to_string(integer->max) + ")";
                return false;
            }
            set_integer(options, arg, number);
            ++i;
        } else if (arg == "--rect") {
            if (!need_value()) return false;
            if (!parse_list(value, 4, 0, INT_MAX, list) || list[2] <= list[0] ||
                list[3] <= list[1]) {
                error = "--rect takes top,left,bottom,right with bottom > top and right > left";
                return false;
            }
            options.has_rect = true;
            options.rect = {static_cast<int32_t>(list[0]), static_cast<int32_t>(list[1]),
                            static_cast<int32_t>(list[2]), static_cast<int32_t>(list[3])};
            ++i;
        } else if (arg == "--advance-error") {
            if (!need_value()) return false;
            if (!parse_list(value, 2, INT_MIN, INT_MAX, list) || list[0] < 1 || list[1] < -32768 ||
                list[1] > 32767 || list[1] == 0) {
                error = "--advance-error takes N,E: N from 1, E a nonzero 16-bit code";
                return false;
            }
            options.advance_error_at = static_cast<int32_t>(list[0]);
            options.advance_error = static_cast<int16_t>(list[1]);
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            error = "unknown option " + arg;
            return false;
        } else {
            options.option_args.pop_back();
            files.push_back(arg);
            continue;
        }
        if (i != at) options.option_args.push_back(args[i]); // the option's value
    }
    if (options.command == Command::info) {
        if (!files.empty()) {
            error = "info takes no file names";
            return false;
        }
        return true;
    }
    if (options.directory.empty()) {
        if (files.size() != 2) {
            error = "apply needs IN.png and OUT.png, or IN.png... -d DIR";
            return false;
        }
        options.inputs = {files[0]};
        options.output = files[1];
    } else {
        if (files.empty()) {
            error = "apply -d DIR needs at least one IN.png";
            return false;
        }
        if (options.show_message_box_text && files.size() > 1) {
            error = "--show-message-box takes one file";
            return false;
        }
        options.inputs = files;
    }
    if (options.filter_case == 0) options.filter_case = options.has_rect ? 5 : 4;
    return true;
}
