// test_host apply: files run through the module by bfrun's own code (bfrun/win32/
// apply_command.h), with the switches that test the host protocol (tests/common/
// protocol_switches.h). A batch's workers are test_host processes too.
#include <cstdio>
#include <string>
#include <vector>

#include "bfrun/cli/printable_line.h"
#include "bfrun/drive/exit_status.h"
#include "bfrun/win32/apply_command.h"
#include "bfrun/win32/utf8.h"
#include "tests/common/protocol_switches.h"
#include "tests/wine/test_host/message_box_watch.h"
#include "tests/wine/test_host/test_host.h"

int run_protocol_apply(int argc, wchar_t** argv) {
    std::vector<std::string> args = {"apply"};
    for (int i = 0; i < argc; ++i)
        args.push_back(narrow_utf8(argv[i]));
    ProtocolApply run;
    std::string error;
    if (!parse_protocol_apply(args, run, error)) {
        std::fprintf(stderr, "test_host apply: %s\n", printable_line(error).c_str());
        return kExitUsage;
    }
    if (run.show_message_box) start_message_box_watch();
    const int status = apply_command(run.options);
    if (run.show_message_box) stop_message_box_watch();
    return status;
}
