#include "host/suite_slot.h"

#include "host/module_state.h"

SuiteSlot file_list_suite_slot = {nullptr, 4, "Photoshop GetFileList Suite for Plug-ins", 0};

SPErr get_suite(SuiteSlot& slot, const void** suite) {
    *suite = nullptr;
    if (slot.suite == nullptr) {
        SPBasicSuite* basic = module_state.basic_suite;
        if (basic == nullptr) return kSuiteSlotNoBasicSuite;
        // The slot keeps the pointer only on success, whatever a refusing host wrote there, so
        // that the next Get asks again and nothing is released that was never acquired.
        const void* acquired = nullptr;
        slot.status = basic->AcquireSuite(slot.name, slot.version, &acquired);
        if (slot.status != 0) return slot.status;
        // A host that reports success without handing out a suite gets asked again next time.
        if (acquired == nullptr) return kSuiteSlotNoBasicSuite;
        slot.suite = acquired;
    }
    *suite = slot.suite;
    return 0;
}

void release_suite(SuiteSlot& slot) {
    SPBasicSuite* basic = module_state.basic_suite;
    if (slot.suite == nullptr || basic == nullptr) return;
    basic->ReleaseSuite(slot.name, slot.version);
    slot.suite = nullptr;
}
