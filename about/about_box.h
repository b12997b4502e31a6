// The about box, shown modally for the host's about command over the host window. It is given
// all it needs: the owner (0: no owner), the module whose template 16000 it shows, and what
// opens the link button's address. The unit tests supply their own to observe the call.
#pragma once

#include <cstdint>

#include "about/link_button.h"

void show_about_box(intptr_t owner, void* module_instance, AddressOpener open_address);
