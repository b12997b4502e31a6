// bfrun's command line: every option in one table, from which both the parsing and --help
// come, and the exit statuses shown from their one table.
#include "bfrun/cli/options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "bfrun/cli/batch.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/image/image_formats.h"
#include "bfrun/image/ink.h"

namespace {

// long long: long is 32 bits on Windows, and --max-pixels goes to 2^32.
bool parse_integer(const std::string& text, long long min, long long max, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= min && value <= max;
}

// A worker's PAGE: "K/N", 1 <= K <= N.
bool parse_page(const std::string& text, InputPage& page) {
    const size_t slash = text.find('/');
    long long k = 0, n = 0;
    if (slash == std::string::npos || !parse_integer(text.substr(0, slash), 1, UINT32_MAX, k) ||
        !parse_integer(text.substr(slash + 1), k, UINT32_MAX, n))
        return false;
    page = {static_cast<uint32_t>(k - 1), static_cast<uint32_t>(n)};
    return true;
}

bool take_module(Options& o, const std::string& value, std::string&) {
    o.module = value;
    return true;
}

bool take_directory(Options& o, const std::string& value, std::string&) {
    o.directory = value;
    return true;
}

bool take_depth(Options& o, const std::string& value, std::string& error) {
    if (value != "32") {
        error = "--depth takes only 32";
        return false;
    }
    o.run.depth = 32;
    return true;
}

bool take_rect(Options& o, const std::string& value, std::string& error) {
    std::vector<long long> list;
    if (!parse_integer_list(value, 4, 0, INT_MAX, list) || list[2] <= list[0] ||
        list[3] <= list[1]) {
        error = "--rect takes top,left,bottom,right with bottom > top and right > left";
        return false;
    }
    o.run.has_rect = true;
    o.run.rect = {static_cast<int32_t>(list[0]), static_cast<int32_t>(list[1]),
                  static_cast<int32_t>(list[2]), static_cast<int32_t>(list[3])};
    return true;
}

bool take_paper(Options& o, const std::string& value, std::string& error) {
    long long level = 0;
    if (value == "auto") {
        o.run.paper_auto = true;
    } else if (parse_integer(value, 1, 255, level)) {
        o.run.paper_auto = false;
        o.run.paper_level = static_cast<int32_t>(level);
    } else {
        error = "--paper takes auto or a level 1..255";
        return false;
    }
    return true;
}

bool take_ink(Options& o, const std::string& value, std::string& error) {
    if (parse_ink(value, o.run.ink)) return true;
    error = "--ink takes keep, #rrggbb or a colour name (";
    for (size_t i = 0; i < kInkNameCount; ++i)
        error += (i > 0 ? ", " : "") + std::string(kInkNames[i].name);
    error += "), not \"" + value + "\"";
    return false;
}

enum class Listed { for_users, not_listed };

// One option: its name, the value it takes (nullptr for a switch), its lines in --help ('\n'
// between them) and where --help lists it, and how it is taken: a switch, an integer in a
// range, or a value of its own kind.
struct OptionEntry {
    const char* name;
    const char* value;
    const char* help;
    Listed listed;
    void (*set_switch)(Options&);
    long long min, max;
    void (*set_integer)(Options&, long long);
    bool (*take)(Options&, const std::string&, std::string&);
};

// clang-format off
const OptionEntry kOptionTable[] = {
    {"--module", "PATH", "the module to run (default: Brightfade.8bf beside bfrun.exe)",
     Listed::for_users, nullptr, 0, 0, nullptr, take_module},
    {"-d", "DIR", "the folder the outputs go to (batch; made if missing)", Listed::for_users, nullptr, 0, 0, nullptr,
     take_directory},
    {"--jobs", "N", "filter N files at once (1..64), each share in a bfrun of its own\n"
                    "(default: the number of processors)",
     Listed::for_users, nullptr, 1, 64, [](Options& o, long long v) { o.jobs = int32_t(v); },
     nullptr},
    {"--compression", "L", "compression level 0..9 of OUT.png (default 6)", Listed::for_users, nullptr,
     0, 9, [](Options& o, long long v) { o.run.compression = int32_t(v); }, nullptr},
    {"--max-pixels", "N", "refuse images of more than N pixels (default 1073741824,\n"
                          "that is 32768 x 32768; at most 4294967296)",
     Listed::for_users, nullptr, 1, 4294967296LL,
     [](Options& o, long long v) { o.run.max_pixels = uint64_t(v); }, nullptr},
    {"--quiet", nullptr, "no progress bar and no line for a file done", Listed::for_users,
     [](Options& o) { o.quiet = true; }, 0, 0, nullptr, nullptr},
    {"--stats", nullptr, "print the peak memory and the time taken", Listed::for_users,
     [](Options& o) { o.stats = true; }, 0, 0, nullptr, nullptr},
    {"--depth", "32", "run the layer as 32-bit float (default: the file's 8 or 16 bits)",
     Listed::for_users, nullptr, 0, 0, nullptr, take_depth},
    {"--rect", "T,L,B,R", "filter only this rectangle (a selection: filter case 5)",
     Listed::for_users, nullptr, 0, 0, nullptr, take_rect},
    {"--paper", "auto|N", "take a scan's paper to white first, as Levels' white input N\n"
                          "(1..255; 255: no change), or auto: found from the image, and\n"
                          "uneven light evened out where the paper lies",
     Listed::for_users, nullptr, 0, 0, nullptr, take_paper},
    {"--keep-orientation", nullptr, "leave a photo's pixels as stored, not turned upright as\n"
                                    "its Exif or TIFF orientation says",
     Listed::for_users, [](Options& o) { o.run.keep_orientation = true; }, 0, 0, nullptr, nullptr},
    {"--ink", "COLOUR|keep", "after the module, its alpha kept: every pixel COLOUR\n"
                             "(#rrggbb, or black, white, grey, gray, red, maroon, brown,\n"
                             "orange, green, teal, blue, navy, purple), or keep: each pixel\n"
                             "the colour that over white gives back its own (red stays red)",
     Listed::for_users, nullptr, 0, 0, nullptr, take_ink},
    // A share of a batch, run by another bfrun, compressing on THREADS threads.
    {"--batch-worker", "THREADS", nullptr, Listed::not_listed, nullptr, 1, 64,
     [](Options& o, long long v) { o.worker = true; o.run.threads = int32_t(v); }, nullptr},
};
// clang-format on

// bfrun's option of this name, or one of the extra ones.
bool find_option(const std::string& name, const std::vector<ExtraOption>& extra,
                 OptionEntry& found) {
    for (const OptionEntry& option : kOptionTable)
        if (name == option.name) {
            found = option;
            return true;
        }
    for (const ExtraOption& option : extra)
        if (name == option.name) {
            found = {option.name,        option.value,       nullptr,
                     Listed::not_listed, option.set_switch,  option.min,
                     option.max,         option.set_integer, option.take};
            return true;
        }
    return false;
}

bool take_value(const OptionEntry& option, const std::string& value, Options& options,
                std::string& error) {
    if (option.take != nullptr) return option.take(options, value, error);
    long long number = 0;
    if (!parse_integer(value, option.min, option.max, number)) {
        error = "bad value \"" + value + "\" for " + option.name + " (" +
                std::to_string(option.min) + ".." + std::to_string(option.max) + ")";
        return false;
    }
    option.set_integer(options, number);
    return true;
}

// The options --help lists under one heading: the name and value in a column of their own,
// then the help, continued lines indented to it.
std::string option_lines(Listed listed) {
    const size_t column = 25;
    std::string text;
    for (const OptionEntry& option : kOptionTable) {
        if (option.listed != listed) continue;
        std::string line = std::string("  ") + option.name;
        if (option.value != nullptr) line += std::string(" ") + option.value;
        line.resize(column, ' ');
        for (const char* c = option.help; *c != '\0'; ++c)
            line += *c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, *c);
        text += line + "\n";
    }
    return text;
}

// The exit statuses, each meaning under its number in lines of at most 86 columns.
std::string exit_status_lines() {
    const size_t width = 86;
    const std::string indent(5, ' ');
    std::string text;
    for (size_t i = 0; i < kExitStatusCount; ++i) {
        std::string line = "  " + std::to_string(kExitStatusMeanings[i].status);
        line.resize(indent.size(), ' ');
        // Words split at spaces by hand: a string stream would link the C++ library's whole
        // stream and locale machinery into bfrun.exe (about 700 KB).
        const std::string meaning = kExitStatusMeanings[i].meaning;
        bool first = true;
        for (size_t at = meaning.find_first_not_of(' '); at != std::string::npos;
             at = meaning.find_first_not_of(' ', at), first = false) {
            const size_t end = std::min(meaning.find(' ', at), meaning.size());
            const std::string word = meaning.substr(at, end - at);
            at = end;
            if (!first && line.size() + 1 + word.size() > width) {
                text += line + "\n";
                line = indent;
            } else if (!first) {
                line += ' ';
            }
            line += word;
        }
        text += line + "\n";
    }
    return text;
}

} // namespace

bool parse_integer_list(const std::string& text, size_t count, long long min, long long max,
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

const std::string& usage_text() {
    static const std::string text =
        "Usage:\n"
        "  bfrun info [--module PATH]\n"
        "      Prints the module's version strings and plug-in property list.\n"
        "  bfrun apply [--module PATH] IN OUT.png [options]\n"
        "      Filters IN (a " +
        image_format_list("or") +
        " file) as one layer with transparency and writes\n"
        "      OUT.png (which may be IN itself: it is replaced only once the new file is\n"
        "      complete).\n"
        "  bfrun apply [--module PATH] IN... -d DIR [--jobs N] [options]\n"
        "      Filters each file into DIR (made if need be, with the folders above it) under\n"
        "      its own name with .png; a file that fails does not stop the others. A file that\n"
        "      would replace itself, or two inputs with one output name, are refused (status 1).\n"
        "      An IN may be a pattern (scans\\*.jpg: * and ? as Windows matches them) or a\n"
        "      folder, for the " +
        image_format_list("and") +
        " files directly in it, sorted by name.\n"
        "  bfrun FILE... [options]\n"
        "      What dropping files on bfrun.exe does: filters each FILE into NAME-brightfade.png\n"
        "      beside it (NAME-brightfade-2.png and on if that name is taken), then, in a window\n"
        "      of its own, waits for a key.\n"
        "  bfrun --help | --version\n"
        "\n"
        "Options:\n" +
        option_lines(Listed::for_users) +
        "\n"
        "Input, recognised by its bytes, not its name: PNG (below), JPEG and TIFF.\n"
        "PNG: grey, grey+alpha, RGB, RGBA or palette, 1 to 16 bits, interlaced or not. The\n"
        "CRC of every critical chunk and the image data's checksum are checked; a damaged file\n"
        "is refused. An ancillary chunk with a wrong CRC is left out, with a warning.\n"
        "A palette index past the end of the palette is shown as opaque black. tRNS becomes\n"
        "alpha; where there is no alpha an opaque one is added. OUT.png is grey+alpha when the\n"
        "input is grey or the result has no colour, RGBA otherwise and with --ink COLOUR, at\n"
        "the input's 8 or 16 bits.\n"
        "\n"
        "Exit status (a batch exits with the highest status of its files):\n" +
        exit_status_lines();
    return text;
}

std::string first_steps_text() {
    return "bfrun filters images through Brightfade.8bf, which must be beside bfrun.exe.\n"
           "Drop image files or a folder on bfrun.exe: each image becomes NAME-brightfade.png\n"
           "beside it. For options (--paper auto for scans), drop them on a shortcut to\n"
           "bfrun.exe whose target carries them, or type in a command prompt:\n"
           "  bfrun apply IN OUT.png [options]\n"
           "  bfrun --help\n";
}

bool parse_options(const std::vector<std::string>& args, Options& options, std::string& error,
                   const std::vector<ExtraOption>& extra) {
    options = Options{};
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = args[0];
    size_t first = 1;
    OptionEntry unused{};
    if (command == "--help" || command == "-h" || command == "help") {
        options.command = Command::help;
        return true;
    }
    if (command == "--version" || command == "version") {
        options.command = Command::version;
        return true;
    }
    if (command == "info")
        options.command = Command::info;
    else if (command == "apply")
        options.command = Command::apply;
    else if (command[0] != '-' || find_option(command, extra, unused)) {
        // Files with no verb, as a drop passes them; options may come first, as a shortcut
        // whose target carries them passes them before the dropped files.
        options.command = Command::drop;
        first = 0;
    } else {
        error = "unknown command \"" + command + "\"";
        return false;
    }

    std::vector<std::string> files;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            options = Options{};
            options.command = arg == "--version" ? Command::version : Command::help;
            return true;
        }
        OptionEntry option{};
        if (!find_option(arg, extra, option)) {
            if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
                error = "unknown option " + arg;
                return false;
            }
            files.push_back(arg);
            continue;
        }
        options.option_args.push_back(arg);
        if (option.value == nullptr) {
            option.set_switch(options);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        options.option_args.push_back(value);
        if (!take_value(option, value, options, error)) return false;
    }
    if (options.command == Command::info) {
        if (!files.empty()) {
            error = "info takes no file names";
            return false;
        }
        return true;
    }
    if (options.worker) {
        if (files.empty() || files.size() % 3 != 0) {
            error = "a worker takes its files as IN, PAGE and OUT";
            return false;
        }
        for (size_t i = 0; i < files.size(); i += 3) {
            InputPage page;
            if (!parse_page(files[i + 1], page)) {
                error = "a worker's PAGE is K/N, 1 <= K <= N: not " + files[i + 1];
                return false;
            }
            options.inputs.push_back(files[i]);
            options.worker_pages.push_back(page);
            options.outputs.push_back(files[i + 2]);
        }
    } else if (options.command == Command::drop) {
        if (files.empty()) {
            error = "no file given: bfrun [options] FILE...";
            return false;
        }
        options.inputs = files;
        if (!options.directory.empty()) {
            error = "-d DIR goes with apply: bfrun apply IN... -d DIR";
            return false;
        }
    } else if (options.directory.empty()) {
        if (files.size() != 2) {
            error = "apply needs IN.png and OUT.png, or IN.png... -d DIR";
            return false;
        }
        options.inputs = {files[0]};
        options.output = files[1];
        const std::string format = other_image_format(options.output);
        if (!format.empty()) {
            error = options.output + " names a " + format +
                    " file, and bfrun writes PNG only: give OUT a .png name";
            return false;
        }
    } else {
        if (files.empty()) {
            error = "apply -d DIR needs at least one IN.png";
            return false;
        }
        options.inputs = files;
    }
    if (options.run.filter_case == 0) options.run.filter_case = options.run.has_rect ? 5 : 4;
    return true;
}
