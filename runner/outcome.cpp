#include "runner/outcome.h"

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
    switch (classify_run(report)) {
    case RunOutcome::done:
        return kExitDone;
    case RunOutcome::refused:
        explanation = "the module refused the image: it requested no pixels (see its message)";
        return kExitRefused;
    case RunOutcome::result_code:
        explanation = "the module stopped with " + result_code_name(report.result);
        if (!report.fault.empty()) explanation += ": " + report.fault;
        if (report.result == filterBadParameters) return kExitBadParameters;
        if (report.result == userCanceledErr) return kExitCanceled;
        return kExitOtherResult;
    case RunOutcome::protocol_fault:
        break;
    }
    if (!report.fault.empty())
        explanation = "the module broke the host protocol: " + report.fault;
    else if (!report.pad_intact)
        explanation = "the module wrote into the pad bytes at the end of outData's rows";
    else
        explanation = "the module finished without its bands covering the filter rectangle";
    return kExitProtocolFault;
}
