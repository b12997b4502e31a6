// The switches of test_host apply, through bfrun's own option parsing.
#include "tests/common/protocol_switches.h"

#include <climits>

namespace {

bool take_advance_error(Options& o, const std::string& value, std::string& error) {
    std::vector<long long> list;
    if (!parse_integer_list(value, 2, INT_MIN, INT_MAX, list) || list[0] < 1 || list[1] < -32768 ||
        list[1] > 32767 || list[1] == 0) {
        error = "--advance-error takes N,E: N from 1, E a nonzero 16-bit code";
        return false;
    }
    o.run.advance_error_at = static_cast<int32_t>(list[0]);
    o.run.advance_error = static_cast<int16_t>(list[1]);
    return true;
}

// clang-format off
const std::vector<ExtraOption> kProtocolSwitches = {
    {"--filter-case", "K", nullptr, 1, 7,
     [](Options& o, long long v) { o.run.filter_case = int16_t(v); }, nullptr},
    {"--mode", "M", nullptr, 0, 32767,
     [](Options& o, long long v) { o.run.mode = int16_t(v); }, nullptr},
    {"--pad-rows", "N", nullptr, 0, 4096,
     [](Options& o, long long v) { o.run.pad_rows = int32_t(v); }, nullptr},
    {"--no-big-document", nullptr, [](Options& o) { o.run.big_document = false; }, 0, 0, nullptr,
     nullptr},
    {"--no-basic-suite", nullptr, [](Options& o) { o.run.basic_suite = false; }, 0, 0, nullptr,
     nullptr},
    {"--abort-after", "N", nullptr, 0, INT_MAX,
     [](Options& o, long long v) { o.run.abort_after = int32_t(v); }, nullptr},
    {"--advance-error", "N,E", nullptr, 0, 0, nullptr, take_advance_error},
    {"--draw-progress", nullptr, [](Options& o) { o.draw_progress = true; }, 0, 0, nullptr,
     nullptr},
};
// clang-format on

} // namespace

bool parse_protocol_apply(const std::vector<std::string>& args, ProtocolApply& run,
                          std::string& error) {
    // Not for the workers: a batch is refused with it.
    std::vector<std::string> rest;
    run.show_message_box = false;
    for (const std::string& arg : args) {
        if (arg == "--show-message-box")
            run.show_message_box = true;
        else
            rest.push_back(arg);
    }
    if (!parse_options(rest, run.options, error, kProtocolSwitches)) return false;
    if (run.options.command != Command::apply) {
        error = "test_host apply runs files only";
        return false;
    }
    if (run.show_message_box && run.options.inputs.size() != 1) {
        error = "--show-message-box takes one file";
        return false;
    }
    return true;
}
