#include "host/browse_url.h"

#include "host/host_records.h"
#include "host/suite_slot.h"

void browse_url_through_host(const char* address) {
    const void* suite = nullptr;
    if (get_suite(file_list_suite_slot, &suite) != 0) return;
    static_cast<const PSGetFileListSuite4*>(suite)->BrowseUrl(address);
}
