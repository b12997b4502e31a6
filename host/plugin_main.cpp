#include "host/plugin_main.h"

#include "about/about_box.h"
#include "host/browse_url.h"
#include "host/filtering_run.h"
#include "host/host_codes.h"
#include "host/module_state.h"

namespace {

intptr_t owner_window(const PlatformData* platform) {
    return platform != nullptr ? platform->hwnd : 0;
}

} // namespace

extern "C" void PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    module_state.record = record;
    module_state.data = data;
    module_state.result = result;
    if (record == nullptr) return;

    if (selector == filterSelectorAbout) {
        auto* about = static_cast<AboutRecord*>(record);
        module_state.basic_suite = about->sSPBasic;
        show_about_box(owner_window(about->platformData), module_state.module_handle, browse_url);
        return;
    }

    auto* filter = static_cast<FilterRecord*>(record);
    module_state.basic_suite = filter->sSPBasic;
    if (filter->bigDocumentData != nullptr)
        filter->bigDocumentData->PluginUsing32BitCoordinates = 1;

    if (selector == filterSelectorStart)
        run_filtering();
    else if (selector == filterSelectorContinue)
        clear_rectangles(*filter);
}
