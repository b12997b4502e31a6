// Opens a web address in the user's browser: through the host's file-list suite (BrowseUrl),
// acquired through the suite slot on first use, as Photoshop offers it; where the host offers
// no such suite (no basic suite, a refusal, or no suite handed out), through Windows itself
// (system_browser.h). The about box's link button is its one user.
#pragma once

// Nothing that fails here reaches the host.
void browse_url(const char* address);
