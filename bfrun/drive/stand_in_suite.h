// The basic suite bfrun offers the module: it acquires no suite (bfrun offers none) and
// allocates with the C heap. It lives as long as the program, because the module keeps its
// address and may use it as late as its unload, after the run.
#pragma once

#include "host/host_records.h"

SPBasicSuite* stand_in_basic_suite();
