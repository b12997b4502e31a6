#include "about/open_link.h"

#include <cstdio>
#include <cstring>

#include "host/host_records.h"
#include "host/suite_slot.h"

void format_link_address(const char* text, char (&address)[kLinkBufferSize]) {
    std::memset(address, 0, sizeof address);
    std::snprintf(address, sizeof address, "http://%s", text);
}

void open_link(const char* text) {
    char address[kLinkBufferSize];
    format_link_address(text, address);

    const void* suite = nullptr;
    if (get_suite(file_list_suite_slot, &suite) != 0) return;
    static_cast<const PSGetFileListSuite4*>(suite)->BrowseUrl(address);
}
