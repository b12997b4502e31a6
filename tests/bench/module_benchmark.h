// The real module's start call, natively, on a host whose advanceState hands back the same
// 8 x 8192 RGBA band every time, raced against the in-place pass over that band.
#pragma once

#include <map>
#include <string>

void register_module_benchmarks();
// From the counters of each benchmark, by name.
void print_module_table(const std::map<std::string, std::map<std::string, double>>& counters);
