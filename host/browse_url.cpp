#include "host/browse_url.h"

#include "host/host_records.h"
#include "host/suite_slot.h"
#include "host/system_browser.h"

void browse_url(const char* address) {
    const void* suite = nullptr;
    if (get_suite(file_list_suite_slot, &suite) == 0) {
        const auto* file_list = static_cast<const PSGetFileListSuite4*>(suite);
        // The host's answer is its own business: it said it opens the address.
        if (file_list->BrowseUrl != nullptr) {
            file_list->BrowseUrl(address);
            return;
        }
    }
    open_in_system_browser(address);
}
