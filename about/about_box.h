// The about box, shown modally for the host's about command over the host window
// (owner 0: no owner). The unit tests supply their own to observe the call.
#pragma once

#include <cstdint>

void show_about_box(intptr_t owner);
