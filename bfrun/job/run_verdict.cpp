// The verdict on a finished run of the module.
#include "bfrun/job/run_verdict.h"

#include "host/host_codes.h"

std::string result_code_name(int16_t code) {
    const std::string number = std::to_string(code);
    switch (code) {
    case noErr:
        return "noErr (0)";
    case userCanceledErr:
        return "userCanceledErr (" + number + ")";
    case filterBadParameters:
        return "filterBadParameters (" + number + ")";
    case filterBadMode:
        return "filterBadMode (" + number + ")";
    default:
        return "result " + number;
    }
}

ExitStatus run_exit_status(const RunReport& report, std::string& explanation) {
    explanation.clear();
    if (!report.fault.empty()) {
        explanation = "the module broke the host protocol: " + report.fault;
        return kExitProtocolFault;
    }
    if (report.result != noErr) {
        explanation = "the module stopped with " + result_code_name(report.result);
        if (report.result == filterBadParameters) return kExitBadParameters;
        if (report.result == userCanceledErr) return kExitCanceled;
        return kExitOtherResult;
    }
    if (report.requests == 0) {
        explanation = "the module refused the image: it requested no pixels (see its message)";
        return kExitRefused;
    }
    if (!report.pad_intact) {
        explanation = "the module wrote into the pad bytes at the end of outData's rows";
        return kExitProtocolFault;
    }
    if (!report.covered) {
        explanation = "the module finished without its bands covering the filter rectangle";
        return kExitProtocolFault;
    }
    return kExitDone;
}

std::string refusal_line(const std::string& box_text) {
    std::string line = "the module refused the image:";
    bool space = true; // one space before the text, none for a run of breaks
    for (char c : box_text) {
        const bool is_break = c == '\r' || c == '\n';
        if (is_break || c == ' ') {
            space = true;
            continue;
        }
        if (space) line += ' ';
        space = false;
        line += c;
    }
    return line;
}
