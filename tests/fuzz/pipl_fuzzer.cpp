// Fuzz target: bfrun's reader of a module's plug-in property list (parse_pipl), which reads
// resources of modules it has not vetted, on arbitrary bytes. A list it accepts is described as
// `bfrun info` does. libFuzzer hands the input in a buffer of exactly its size, so any read past
// the end is caught by AddressSanitizer.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bfrun/drive/pipl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Pipl pipl;
    std::string error;
    if (parse_pipl(data, size, pipl, error)) {
        size_t property_bytes = 0;
        for (const PiplProperty& property : pipl.properties)
            property_bytes += 16 + property.data.size();
        // Every property read lies inside the input, after the 10-byte header.
        if (property_bytes > size - 10 || pipl.kind.empty()) std::abort();
        if (describe_pipl(pipl).empty()) std::abort();
    } else if (error.rfind("malformed property list: ", 0) != 0) {
        std::fprintf(stderr, "a rejected list without its reason: \"%s\"\n", error.c_str());
        std::abort();
    }
    return 0;
}
