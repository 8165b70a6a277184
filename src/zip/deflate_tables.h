// The compressor's fixed tables: the RFC 1951 extra-bit counts and
// code-length order, and the tuning row of each level.
#pragma once

#include <cstdint>

extern const std::uint8_t kExtraLengthBits[29];
extern const std::uint8_t kExtraDistBits[30];
extern const std::uint8_t kExtraBlBits[19];
extern const std::uint8_t kBlOrder[19];

// One row of the tuning table.
struct LzTuning {
    std::uint16_t good_length; // quarter the chain budget after a match this long
    std::uint16_t lazy_limit;  // lazy loop: skip the search after a match this long;
                               // greedy loop: the insertion limit
    std::uint16_t nice_length; // stop the search at a match this long
    std::uint16_t chain_limit; // candidates visited per search
    bool lazy;                 // lazy (true) or greedy loop
};

// Rows for levels 0 to 9; level 9 exists but is refused by the level check.
extern const LzTuning kLzTuning[10];
