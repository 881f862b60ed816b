// quorvel-check's checks: pure functions over what was read of a bitmap and
// the converter's argument texts that find every way the sprite would not be
// the picture, each as a message with what to do, and the fix where it is
// mechanical.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "companion/companion.hpp"

namespace check {

// A fix that needs no judgement: arguments to give instead, and palette
// entries to move, each with its colour and its pixels (swapped with the
// entry at the place it moves to).
struct Fix {
  std::optional<std::string> startaddress, add_zero_byte;
  std::array<std::optional<std::string>, 4> colours;
  std::vector<std::pair<int, int>> moves;  // palette index from, to
};

struct Finding {
  // error: the converter refuses the input; warning: the sprite would not be
  // the picture; note: all is well, but not as it may seem.
  enum Severity { error, warning, note } severity;
  std::string kind;                       // a stable word for what it is, such as "pairs"
  std::string message;                    // what, where (x, y from the top left), what to do
  std::optional<Fix> fix = std::nullopt;  // where the fix is mechanical
  std::optional<int> x = std::nullopt, y = std::nullopt;  // the first pixel, where one is meant
};

// The converter's arguments after the two file names, as given.
struct Arguments {
  std::string startaddress;
  std::string add_zero_byte;
  std::string colours[4];
};

// What the check read of a bitmap: the file's first bytes (its headers and
// palette), the pixel data its header points to, and the file's length.
struct Bitmap {
  std::vector<std::uint8_t> head;    // from byte 0
  std::int64_t pixels_at = 0;        // where `pixels` starts in the file
  std::vector<std::uint8_t> pixels;  // the pixel data the check needs, as far as the file holds it
  std::int64_t length = -1;          // the file's length; -1 when not known (it goes on)
};

// A bitmap held whole in memory.
Bitmap whole_file(const std::vector<std::uint8_t>& file);

// The bytes of the file the check needs beyond its headers, for the headers
// in `head`: [first, end). Empty for a file the converter refuses.
struct Span {
  std::int64_t first = 0, end = 0;
};
Span pixel_span(const std::vector<std::uint8_t>& head);

// Every finding about the picture and, when given, the arguments; without
// them the picture is checked for the usual colour arguments 0 1 2 3.
std::vector<Finding> check_bitmap(const Bitmap& bitmap, const Arguments* given);

// The findings as the records both report forms are made of.
std::vector<companion::Finding> records(const std::vector<Finding>& findings);

// The sprite the converter makes of the bitmap: "hires", "multicolour", or
// "" where it refuses it.
std::string sprite_made(const Bitmap& bitmap);

}  // namespace check
