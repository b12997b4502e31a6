// Suite slots: a host suite acquired through the basic suite the first time it is needed and
// given back when the module unloads. The module has one: the host's file-list suite, whose
// BrowseUrl the about box's link button calls.
#pragma once

#include <cstdint>

#include "host/host_records.h"

struct SuiteSlot {
    const void* suite; // the suite's routine table; null until acquired
    int32_t version;   // the version asked for
    const char* name;  // the suite's name
    int32_t status;    // status of the latest acquisition attempt
};

// 'Parm': Get without a basic suite in module state.
constexpr SPErr kSuiteSlotNoBasicSuite = 0x5061726D;

// "Photoshop GetFileList Suite for Plug-ins", version 4.
extern SuiteSlot file_list_suite_slot;

// Get: 0 with *suite set to the slot's suite, or a nonzero code with *suite left null. An
// empty slot asks the basic suite held in module state; a filled one is returned as it is.
SPErr get_suite(SuiteSlot& slot, const void** suite);

// Gives the suite back through module state's basic suite, if both are there; else nothing.
void release_suite(SuiteSlot& slot);
