// The module's one exported routine, called by the host for every selector.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define BRIGHTFADE_EXPORT __declspec(dllexport)
#else
#define BRIGHTFADE_EXPORT
#endif

extern "C" BRIGHTFADE_EXPORT void PluginMain(int16_t selector, void* record, intptr_t* data,
                                             int16_t* result);
