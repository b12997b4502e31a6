// Fuzz target: bfrun's TIFF reader on arbitrary bytes, whatever they begin with (the checks
// are in image_reader_checks.h).
#include "bfrun/image/tiff_reader.h"
#include "tests/fuzz/image_reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    {
        TiffReader reader(source);
        fuzz_checks::read_to_the_end(&reader);
    }
    source.rewind();
    fuzz_checks::count_pages(source);
    return 0;
}
