// Which C64 colour a picture's colour is: by the first published palette that
// holds all of a picture's colours, else each by its nearest published colour
// within the tolerance. quorvel-sheet, the page and the census read it.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "c64/palettes.hpp"
#include "picture/picture.hpp"

namespace c64 {

struct Matcher {
  const Palette* palette = nullptr;           // the palette that holds them all, if any
  std::uint32_t last = picture::transparent;  // never a colour asked for
  int last_number = -1;
  std::unordered_map<std::uint32_t, int> known;

  // The colour number of 0xRRGGBB; -1 for a colour of no palette. Asked
  // of every pixel, mostly the colour of the one before it.
  int number(std::uint32_t rgb) { return rgb == last ? last_number : remembered(rgb); }
  int remembered(std::uint32_t rgb);
  int match(std::uint32_t rgb) const;
};

// The matcher for a picture's distinct colours: by `chosen` where given, else
// by the first palette that holds them all (more than 4096 are no C64
// picture's: each is matched by itself).
Matcher matcher_for(const std::unordered_set<std::uint32_t>& colours,
                    const Palette* chosen = nullptr);

// A later palette that also holds all the colours, but reads one of them as
// another colour number than the matcher's palette.
struct Disagreement {
  const Palette* palette;
  std::uint32_t rgb;       // the first such colour
  int number, its_number;  // in the matcher's palette, and in this one
};
std::vector<Disagreement> disagreements(const Matcher& matcher,
                                        const std::unordered_set<std::uint32_t>& colours);

// The C64 colour nearest to 0xRRGGBB in any published palette, and that
// palette: for a colour of none, what it may have been meant to be.
struct Nearest {
  int number;
  const Palette* palette;
};
Nearest nearest(std::uint32_t rgb);

// The published palette of this name, or null.
const Palette* palette_named(std::string_view name);

// A picture's pixels by C64 colour, the most first: colour number (-1 for
// none, `census_transparent` for transparent pixels) and pixels.
inline constexpr int census_transparent = -2;
std::vector<std::pair<int, std::int64_t>> census(const picture::Picture& picture);

}  // namespace c64
