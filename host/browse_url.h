// Opens a web address in the user's browser through the host's file-list suite (BrowseUrl),
// acquired through the suite slot on first use. The about box's link button is its one user.
#pragma once

// When the suite cannot be had (no basic suite, or the host refuses it) nothing happens and
// nothing reaches the host.
void browse_url_through_host(const char* address);
