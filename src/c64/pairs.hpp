// Pairs of pixels that differ in a multicolour sprite, which shows only the
// right-hand pixel of each pair: one diagnosis for a single picture and for
// a cell of a sheet alike.
#pragma once

#include <cstdint>
#include <string>

namespace c64 {

// What a pass over the pixels counted: pairs whose two pixels differ, pixels
// that differ from their left neighbour in the pair before, and whether the
// leftmost column holds one colour (so that a drawing can move left).
struct PairCount {
  std::int64_t within = 0, across = 0;
  bool left_column_even = true;
};

// The kind of the advice: a drawing two pixels wide but one pixel off the
// pairs is moved; any other is drawn again two pixels wide.
inline bool one_pixel_off(const PairCount& pairs) {
  return pairs.within > 0 && pairs.across == 0;
}

// What follows "N pairs of pixels differ (the first ...)": why, and what to do.
inline std::string pairs_advice(const PairCount& pairs) {
  if (one_pixel_off(pairs))
    return std::string(", but none would if the drawing moved one pixel: it is drawn two pixels "
                       "wide one pixel off the pairs, so move it one pixel ") +
           (pairs.left_column_even ? "left" : "right");
  return "; a multicolour sprite pixel is two bitmap pixels wide and Quorvel takes the "
         "right-hand one: draw every sprite pixel two bitmap pixels wide";
}

}  // namespace c64
