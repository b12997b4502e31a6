// Pointing imports of a loaded module at a test's own functions, through the module's import
// address tables: how the Wine tests see what the real module asks of the system.
#pragma once

#include <windows.h>

inline void write_slot(ULONG_PTR* slot, void* replacement) {
    DWORD old_protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old_protection);
    *slot = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(slot, sizeof *slot, old_protection, &old_protection);
}

// Calls `visit(name, slot)` for each import of the module that is made by name: the name from
// the lookup table, the slot in the address table the loader filled.
template <typename Visit> void for_each_import(HMODULE module, Visit visit) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return;
    for (auto* import =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        const auto* names = reinterpret_cast<const ULONG_PTR*>(
            base +
            (import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk));
        auto* slot = reinterpret_cast<ULONG_PTR*>(base + import->FirstThunk);
        for (; *names != 0; ++names, ++slot) {
            if ((*names & IMAGE_ORDINAL_FLAG64) != 0) continue;
            const auto* by_name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + *names);
            visit(reinterpret_cast<const char*>(by_name->Name), slot);
        }
    }
}

// Replaces every entry of the module's import address tables that holds `target` with
// `replacement`; returns how many were replaced.
inline int patch_imports(HMODULE module, void* target, void* replacement) {
    int patched = 0;
    for_each_import(module, [&](const char*, ULONG_PTR* slot) {
        if (*slot != reinterpret_cast<ULONG_PTR>(target)) return;
        write_slot(slot, replacement);
        ++patched;
    });
    return patched;
}
