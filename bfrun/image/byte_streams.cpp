#include "bfrun/image/byte_streams.h"

#include <algorithm>
#include <cstring>

size_t MemorySource::read(uint8_t* to, size_t wanted) {
    const size_t count = std::min(wanted, length - at);
    if (count > 0) std::memcpy(to, data + at, count);
    at += count;
    return count;
}

bool MemorySource::seek(uint64_t offset) {
    if (offset > length) return false;
    at = static_cast<size_t>(offset);
    return true;
}

bool MemorySink::write(const uint8_t* from, size_t size) {
    bytes.insert(bytes.end(), from, from + size);
    return true;
}

bool MemorySink::restart() {
    bytes.clear();
    return true;
}
