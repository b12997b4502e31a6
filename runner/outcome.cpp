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

std::string printable_line(const std::string& text) {
    std::string line;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        // The length of a well-formed UTF-8 sequence starting here, or 0.
        size_t length = lead < 0x80         ? 1
                        : (lead >> 5) == 6  ? 2
                        : (lead >> 4) == 14 ? 3
                        : (lead >> 3) == 30 ? 4
                                            : 0;
        if (length == 0 || i + length > text.size()) length = 0;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<uint8_t>(text[i + k]) >> 6) != 2) length = 0;
        if (length >= 2) {
            // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
            uint32_t code = lead & (0x7F >> length);
            for (size_t k = 1; k < length; ++k)
                code = code << 6 | (static_cast<uint8_t>(text[i + k]) & 0x3F);
            static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
            // C1 controls (U+0080..U+009F) print nothing either.
            if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
                code < 0xA0)
                length = 0;
        }
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            line += '?';
            ++i;
            continue;
        }
        line.append(text, i, length);
        i += length;
    }
    return line;
}
