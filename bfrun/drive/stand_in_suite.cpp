// The stand-in basic suite's routines.
#include "bfrun/drive/stand_in_suite.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr SPErr kSuiteNotOffered = -1;

SPErr acquire_suite(const char*, int32_t, const void** suite) {
    if (suite != nullptr) *suite = nullptr;
    return kSuiteNotOffered;
}
SPErr release_suite(const char*, int32_t) {
    return 0;
}
int32_t is_equal(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}
SPErr allocate_block(size_t size, void** block) {
    *block = std::malloc(size);
    return *block != nullptr ? 0 : kSuiteNotOffered;
}
SPErr free_block(void* block) {
    std::free(block);
    return 0;
}
SPErr reallocate_block(void* block, size_t size, void** new_block) {
    *new_block = std::realloc(block, size);
    return *new_block != nullptr ? 0 : kSuiteNotOffered;
}
SPErr undefined_routine() {
    return kSuiteNotOffered;
}

SPBasicSuite basic_suite = {acquire_suite, release_suite,    is_equal,         allocate_block,
                            free_block,    reallocate_block, undefined_routine};

} // namespace

SPBasicSuite* stand_in_basic_suite() {
    return &basic_suite;
}
