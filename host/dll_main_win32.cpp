#include <windows.h>

#include "host/module_state.h"

// The load notification keeps the module handle (the about box loads its template from it)
// on every notification and does nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    module_state.module_handle = instance;
    return TRUE;
}
