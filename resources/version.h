/* The release version: the version block's FileVersion and ProductVersion strings, and the
   name of the release zip (tools/release). A release changes it here and nowhere else. Plain
   #defines so that CMake and the release script can read them too. */
#ifndef BRIGHTFADE_VERSION_H
#define BRIGHTFADE_VERSION_H

#define BRIGHTFADE_VERSION "1.0"

#endif
