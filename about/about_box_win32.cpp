#include "about/about_box.h"

// Placeholder until the about dialog lands: the about command shows nothing.
void show_about_box(intptr_t /*owner*/) {}
