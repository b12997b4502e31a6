// Gives the file-list suite back when the module unloads. The object below is constructed by
// the module's initialisation; the runtime runs its destructor when the library is unloaded
// (FreeLibrary, or the end of the host's process), after the host's last call.
#include "host/suite_slot.h"

namespace {

struct ReleaseAtUnload {
    ~ReleaseAtUnload() { release_suite(file_list_suite_slot); }
};

ReleaseAtUnload release_at_unload;

} // namespace
