#include "bfrun/drive/module_file.h"

#include "bfrun/drive/pipl.h"

namespace {

uint32_t little_endian(const uint8_t* at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

} // namespace

uint16_t pe_machine(const uint8_t* bytes, size_t size) {
    if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return 0;
    const uint32_t pe = little_endian(bytes + 0x3C, 4);
    if (pe > size || size - pe < 6) return 0;
    if (bytes[pe] != 'P' || bytes[pe + 1] != 'E' || bytes[pe + 2] != 0 || bytes[pe + 3] != 0)
        return 0;
    return static_cast<uint16_t>(little_endian(bytes + pe + 4, 2));
}

std::string machine_name(uint16_t machine) {
    switch (machine) {
    case 0x8664:
        return kX64Name;
    case 0xAA64:
        return kArm64Name;
    case 0x14C:
        return "32-bit x86";
    default:
        break;
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "machine 0x";
    for (int shift = 12; shift >= 0; shift -= 4)
        hex += digits[(machine >> shift) & 15];
    return hex;
}

uint16_t this_machine() {
#if defined(__aarch64__)
    return 0xAA64;
#else
    return 0x8664;
#endif
}

std::string module_file_problem(const std::string& path, const uint8_t* bytes, size_t size) {
    const uint16_t machine = pe_machine(bytes, size);
    if (machine == 0)
        return path + " is not a Windows DLL: --module takes the plug-in, Brightfade.8bf";
    if (machine != this_machine())
        return path + " is a module for " + machine_name(machine) +
               " Windows, and this bfrun is for " + machine_name(this_machine()) + ": use the " +
               machine_name(this_machine()) +
               " Brightfade.8bf, from the zip this bfrun.exe came in";
    return "";
}
