#include "runner/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

const char* const kUsage =
    "Usage:\n"
    "  bfrun info [--module PATH]\n"
    "      Prints the module's plug-in property list.\n"
    "  bfrun apply [--module PATH] IN.png OUT.png [options]\n"
    "      Filters IN.png as one layer with transparency and writes OUT.png.\n"
    "  bfrun --help\n"
    "\n"
    "Options of apply:\n"
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
    "                         then close it (needs a display)\n"
    "\n"
    "Exit status:\n"
    "  0  done: result 0 and the bands covered the rectangle\n"
    "  1  bad command line\n"
    "  2  input not usable: missing, unreadable, not a PNG, truncated, no pixels\n"
    "  3  image too large for the module's limits (or, with --no-big-document, for 16-bit\n"
    "     coordinates)\n"
    "  4  OUT.png could not be written\n"
    "  5  module not usable: not loadable, no or malformed property list, no entry point,\n"
    "     or its filter case table says it cannot filter the case\n"
    "  6  refused: the module requested nothing (it showed its message box)\n"
    "  7  result filterBadParameters (-30100)\n"
    "  8  result userCanceledErr (-128)\n"
    "  9  any other nonzero result\n"
    "  10 protocol fault: the bands did not cover the rectangle, or the module wrote into\n"
    "     the row padding or asked for pixels outside the layer\n";

namespace {

bool parse_integer(const std::string& text, long min, long max, long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= min && value <= max;
}

bool parse_list(const std::string& text, size_t count, long min, long max,
                std::vector<long>& values) {
    values.clear();
    size_t start = 0;
    while (values.size() < count) {
        const size_t comma = text.find(',', start);
        const bool last = values.size() + 1 == count;
        if (last != (comma == std::string::npos)) return false;
        long value;
        if (!parse_integer(text.substr(start, comma - start), min, max, value)) return false;
        values.push_back(value);
        start = comma + 1;
    }
    return true;
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
        long number = 0;
        std::vector<long> list;
        if (arg == "--module") {
            if (!need_value()) return false;
            options.module = value;
            ++i;
        } else if (arg == "--no-big-document") {
            options.big_document = false;
        } else if (arg == "--no-basic-suite") {
            options.basic_suite = false;
        } else if (arg == "--show-message-box") {
            options.show_message_box_text = true;
        } else if (arg == "--depth" || arg == "--filter-case" || arg == "--mode" ||
                   arg == "--pad-rows" || arg == "--abort-after") {
            if (!need_value()) return false;
            const bool ok = arg == "--depth"         ? value == "32"
                            : arg == "--filter-case" ? parse_integer(value, 1, 7, number)
                            : arg == "--mode"        ? parse_integer(value, 0, 32767, number)
                            : arg == "--pad-rows"    ? parse_integer(value, 0, 4096, number)
                                                     : parse_integer(value, 0, INT_MAX, number);
            if (!ok) {
                error = arg == "--depth" ? "--depth takes only 32"
                                         : "bad value \"" + value + "\" for " + arg;
                return false;
            }
            if (arg == "--depth") options.depth = 32;
            if (arg == "--filter-case") options.filter_case = static_cast<int16_t>(number);
            if (arg == "--mode") options.mode = static_cast<int16_t>(number);
            if (arg == "--pad-rows") options.pad_rows = static_cast<int32_t>(number);
            if (arg == "--abort-after") options.abort_after = static_cast<int32_t>(number);
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
            files.push_back(arg);
        }
    }
    if (options.command == Command::info) {
        if (!files.empty()) {
            error = "info takes no file names";
            return false;
        }
        return true;
    }
    if (files.size() != 2) {
        error = "apply needs IN.png and OUT.png";
        return false;
    }
    options.input = files[0];
    options.output = files[1];
    if (options.filter_case == 0) options.filter_case = options.has_rect ? 5 : 4;
    return true;
}
