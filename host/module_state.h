// What the module keeps between the host's calls: the arguments of the latest call to
// PluginMain, the basic suite it carried and the module handle from the load notification.
#pragma once

#include <cstdint>

#include "host/host_records.h"

struct ModuleState {
    void* record = nullptr;   // FilterRecord, or AboutRecord for the about selector
    intptr_t* data = nullptr; // stored, never dereferenced
    int16_t* result = nullptr;
    SPBasicSuite* basic_suite = nullptr;
    void* module_handle = nullptr;
};

extern ModuleState module_state;

inline FilterRecord* current_filter_record() {
    return static_cast<FilterRecord*>(module_state.record);
}

// Writes the host's result word, if the host gave us one.
inline void write_result(int16_t code) {
    if (module_state.result != nullptr) *module_state.result = code;
}
