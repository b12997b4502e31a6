// When a rectangle of the protocol holds no pixel. Compared in 64 bits, so that no pair of
// coordinates overflows.
#pragma once

#include <cstdint>

#include "host/host_records.h"

inline bool is_empty(const VRect& r) {
    return int64_t{r.bottom} <= int64_t{r.top} || int64_t{r.right} <= int64_t{r.left};
}
