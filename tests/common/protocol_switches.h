// The command line of test_host apply: bfrun apply's own, and the switches that test the
// module's side of the host protocol, which bfrun does not offer. Portable, so that the native
// tests check its parsing; test_host/protocol_apply.cpp runs it.
#pragma once

#include <string>
#include <vector>

#include "bfrun/cli/options.h"

struct ProtocolApply {
    Options options;
    // Print the caption and text of a message box the module shows, then close it (one file).
    bool show_message_box = false;
};

// args as bfrun apply takes them, "apply" first, with any of the switches among them:
//   --filter-case K      tell the module filter case K (1..7)
//   --mode M             tell the module image mode M (e.g. 4 for CMYK)
//   --pad-rows N         end every row of outData in N pad bytes (0..4096)
//   --no-big-document    pass no big-document record (16-bit coordinates only)
//   --no-basic-suite     pass no basic suite
//   --abort-after N      the abort poll says yes once N bands were served
//   --advance-error N,E  the N-th advanceState returns E instead of a band
//   --show-message-box   report the module's message box on stdout, then close it
//   --draw-progress      draw the progress line on stderr even when it is not a console
// The switches go to a batch's workers with bfrun's options. False with a one-line reason.
bool parse_protocol_apply(const std::vector<std::string>& args, ProtocolApply& run,
                          std::string& error);
