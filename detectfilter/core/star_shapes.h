// Patches the star masking stamps around a steadily bright point: each shape is a list of row
// half-widths from top to bottom, the middle entry being the centre row.
#pragma once

#include <cstdint>

namespace orvanta::detect {

struct StarShape {
  int rows;
  int8_t half[11];
};

enum StarShapeId : int { kP1, kP2, kP3, kP4, kP5, kP6, kP7, kP8, kP9, kP10, kP11, kQ6, kQ7, kQ8 };

inline constexpr StarShape kStarShapes[] = {
    {1, {0}},                                 // P1
    {3, {0, 1, 0}},                           // P2
    {3, {1, 1, 1}},                           // P3
    {5, {0, 1, 2, 1, 0}},                     // P4
    {5, {1, 2, 2, 2, 1}},                     // P5
    {7, {0, 1, 2, 3, 2, 1, 0}},               // P6
    {7, {1, 2, 3, 4, 3, 2, 1}},               // P7
    {9, {1, 2, 3, 4, 5, 4, 3, 2, 1}},         // P8
    {11, {1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1}},  // P9
    {11, {2, 3, 4, 5, 6, 6, 6, 5, 4, 3, 2}},  // P10
    {11, {3, 4, 5, 5, 6, 6, 6, 5, 5, 4, 3}},  // P11
    {5, {2, 2, 2, 2, 2}},                     // Q6
    {7, {0, 2, 2, 3, 2, 2, 0}},               // Q7
    {7, {1, 2, 3, 3, 3, 2, 1}},               // Q8
};

// Shape by sm_size (1..11) and strength (0 weak, 1 medium, 2 strong).
inline constexpr int8_t kFullShapeBySize[12][3] = {
    {kP11, kP11, kP11}, {kP1, kP1, kP1}, {kP1, kP2, kP3},  {kP1, kP3, kP5},
    {kP1, kP4, kP6},    {kP3, kP5, kP6}, {kP4, kP5, kP7},  {kP5, kP6, kP7},
    {kP5, kP6, kP9},    {kP7, kP8, kP9}, {kP7, kP9, kP10}, {kP7, kP10, kP11},
};
inline constexpr int8_t kHalfShapeBySize[12][3] = {
    {kQ8, kQ8, kQ8}, {kP1, kP1, kP1}, {kP1, kP2, kP3}, {kP1, kP3, kP3},
    {kP1, kP3, kP4}, {kP1, kP3, kP5}, {kP2, kP3, kP5}, {kP3, kP4, kP5},
    {kP3, kP5, kQ6}, {kP4, kQ6, kQ6}, {kP5, kQ6, kQ7}, {kP5, kQ7, kQ8},
};

// Any sm_size outside 1..11 takes the largest shape whatever the strength.
inline int StarShapeFor(bool half, int sm_size, int strength) {
  int size = (sm_size >= 1 && sm_size <= 11) ? sm_size : 0;
  return half ? kHalfShapeBySize[size][strength] : kFullShapeBySize[size][strength];
}

}  // namespace orvanta::detect
