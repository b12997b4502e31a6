// test_host: the one program that tests the module's side of the host protocol under Wine. It
// loads Brightfade.8bf and calls it as a host would; each face of the program is one kind of
// protocol test:
//   test_host profiles MODULE [PROFILE...]   the module called as each known host calls it
//                                            (host_profiles.cpp)
//   test_host apply [--module PATH] IN OUT.png [options]
//                                            files run as bfrun runs them, with the switches
//                                            that change the host's side of the protocol
//                                            (protocol_apply.cpp)
#pragma once

// Each face takes the arguments after its own name and returns the process's exit status:
// 0 when every check held (apply: bfrun's exit statuses).
int run_host_profiles(int argc, wchar_t** argv);
int run_protocol_apply(int argc, wchar_t** argv);
