#include "zip/deflate_tables.h"

const std::uint8_t kExtraLengthBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

const std::uint8_t kExtraDistBits[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

const std::uint8_t kExtraBlBits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

const std::uint8_t kBlOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                   11, 4,  12, 3, 13, 2, 14, 1, 15};

const LzTuning kLzTuning[10] = {
    {0, 0, 0, 0, false},        // 0: not used
    {4, 4, 8, 4, false},        // 1
    {4, 5, 16, 8, false},       // 2
    {4, 6, 32, 32, false},      // 3
    {4, 4, 16, 16, true},       // 4
    {8, 16, 32, 32, true},      // 5
    {8, 16, 128, 128, true},    // 6
    {8, 32, 128, 256, true},    // 7
    {32, 128, 258, 1024, true}, // 8: the zip writer's level
    {32, 258, 258, 4096, true}, // 9: refused by the level check
};
