// The C64's sixteen colours in the common published palettes, and the rule by
// which a picture's colour is one of them: the one table that quorvel-check,
// quorvel-sheet, the page and the documentation pictures read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace c64 {

// By colour number, as the VIC-II numbers them.
inline constexpr std::array<std::string_view, 16> colour_names = {
    "black", "white",       "red",        "cyan",      "purple",    "green",
    "blue",  "yellow",      "orange",     "brown",     "light red", "dark grey",
    "grey",  "light green", "light blue", "light grey"};

struct Palette {
  std::string_view name;
  std::array<std::uint32_t, 16> rgb;  // 0xRRGGBB by colour number
};

// Pepto's (2001), which most editors and emulators ship; Colodore (Pepto,
// 2017), measured anew, brighter and more saturated.
inline constexpr std::array<Palette, 2> palettes = {{
    {"Pepto",
     {0x000000, 0xFFFFFF, 0x68372B, 0x70A4B2, 0x6F3D86, 0x588D43, 0x352879, 0xB8C76F, 0x6F4F25,
      0x433900, 0x9A6759, 0x444444, 0x6C6C6C, 0x9AD284, 0x6C5EB5, 0x959595}},
    {"Colodore",
     {0x000000, 0xFFFFFF, 0x813338, 0x75CEC8, 0x8E3C97, 0x56AC4D, 0x2E2C9B, 0xEDF171, 0x8E5029,
      0x553800, 0xC46C71, 0x4A4A4A, 0x7B7B7B, 0xA9FF9F, 0x706DEB, 0xB2B2B2}},
}};

// A picture's colour is a published one when each of red, green and blue is
// within this of it: room for a converter's rounding, none for another C64
// colour (any two colours of one palette differ by more than twice this).
inline constexpr int tolerance = 10;

constexpr bool within_tolerance(std::uint32_t rgb, std::uint32_t published) {
  for (int shift : {16, 8, 0}) {
    int difference =
        static_cast<int>(rgb >> shift & 0xFF) - static_cast<int>(published >> shift & 0xFF);
    if (difference > tolerance || difference < -tolerance) return false;
  }
  return true;
}

// The colour number whose colour in `palette` `rgb` is, if any.
constexpr std::optional<int> colour_in(const Palette& palette, std::uint32_t rgb) {
  for (int number = 0; number < 16; ++number)
    if (within_tolerance(rgb, palette.rgb[static_cast<std::size_t>(number)])) return number;
  return std::nullopt;
}

// "C64 light blue": how messages name a colour number.
inline std::string colour_phrase(int number) {
  return "C64 " + std::string(colour_names[static_cast<std::size_t>(number & 15)]);
}

}  // namespace c64
