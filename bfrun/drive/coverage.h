// Which pixels of the filter rectangle the module's bands have covered: whole rows in a bit
// each, and the spans of rows covered in part, so that the record stays small for any image.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "host/host_records.h"

class Coverage {
  public:
    void start(const VRect& area);
    // A band written back; the part outside the area counts for nothing.
    void add(const VRect& band);
    // Every pixel of the area was covered (an empty area is covered from the start).
    bool complete() const;

  private:
    using Span = std::pair<int32_t, int32_t>; // left, right
    VRect area_{};
    std::vector<bool> full_;
    std::vector<std::pair<int32_t, std::vector<Span>>> partial_; // row, its spans
};
