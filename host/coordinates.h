// Rectangle access with the host's coordinate choice: the 32-bit members of the big-document
// record when the host gave one and it is marked as in use, the 16-bit members of the filter
// record otherwise. The choice is made afresh at every access.
#pragma once

#include "host/host_records.h"

bool uses_32bit_coordinates(const FilterRecord& record);

VRect read_filter_rect(const FilterRecord& record);
VRect read_in_rect(const FilterRecord& record);
VRect read_out_rect(const FilterRecord& record);
VRect read_mask_rect(const FilterRecord& record);

// A 16-bit rectangle sign-extended, and a 32-bit one cut to its low 16 bits, as the module
// reads and writes the filter record's members.
VRect widen_rect(const Rect& rect);
Rect low_16_bits(const VRect& rect);

// A 16-bit member keeps the low 16 bits of each value.
void write_in_rect(FilterRecord& record, const VRect& rect);
void write_out_rect(FilterRecord& record, const VRect& rect);
void write_mask_rect(FilterRecord& record, const VRect& rect);
