// Puts the module-wide file-list slot and basic suite in a known state around a test. The
// real slot outlives every test; leaving it empty means nothing is released at exit.
#pragma once

#include "host/module_state.h"
#include "host/suite_slot.h"

inline void hold_basic_suite_with_empty_slot(SPBasicSuite* basic) {
    module_state.basic_suite = basic;
    file_list_suite_slot.suite = nullptr;
    file_list_suite_slot.status = 0;
}
