// The picture reader's pure parts and the C64 matcher, in-process: BMP rows
// unpacked and packed again, palette entries moved with their pixels, and a
// colour's C64 number by the palette that holds a picture's colours.
#include "picture/picture.hpp"

#include <gtest/gtest.h>

#include "c64/matcher.hpp"
#include "support/bmp_builder.hpp"

namespace {

using testing_support::encode_bmp;
using testing_support::grid;

TEST(BmpRows, EveryDepthUnpacksAndPacksLeftmostPixelHighest) {
  const struct {
    int bits;
    std::uint8_t row[2];
    std::vector<int> indices;
  } cases[] = {
      {1, {0b10100000, 0}, {1, 0, 1, 0, 0, 0, 0, 0}},
      {4, {0x6F, 0x20}, {6, 15, 2, 0}},
      {8, {200, 7}, {200, 7}},
  };
  for (const auto& c : cases) {
    std::uint8_t packed[2] = {};
    for (std::size_t x = 0; x < c.indices.size(); ++x) {
      EXPECT_EQ(picture::bmp::index_in_row(c.row, static_cast<std::int64_t>(x), c.bits),
                c.indices[x])
          << c.bits << " bits, pixel " << x;
      picture::bmp::set_index_in_row(packed, static_cast<std::int64_t>(x), c.bits, c.indices[x]);
    }
    EXPECT_EQ(packed[0] * 256 + packed[1], c.row[0] * 256 + c.row[1]) << c.bits << " bits";
  }
}

// Each pixel's colour, top row first.
std::vector<std::uint32_t> colours_of(const picture::Bytes& file) {
  picture::Picture read;
  EXPECT_EQ(picture::decode_picture(file, read), "");
  std::vector<std::uint32_t> colours;
  for (int y = 0; y < read.height; ++y)
    for (int x = 0; x < read.width; ++x) colours.push_back(picture::colour_at(read, x, y));
  return colours;
}

TEST(BmpMoves, EntriesMoveWithTheirPixelsAndEveryPixelKeepsItsColour) {
  std::vector<std::uint32_t> palette;
  for (std::uint32_t index = 0; index < 16; ++index) palette.push_back(index * 0x010203);
  const struct {
    std::vector<std::pair<int, int>> moves;
    std::vector<std::string> moved;  // the indices after the moves
  } cases[] = {
      {{{0, 0}, {6, 1}, {7, 2}, {10, 3}}, {"01230000", "00000000"}},
      {{{0, 1}, {6, 0}, {10, 2}, {7, 3}}, {"10321111", "11111111"}},
      {{}, {"067a0000", "00000000"}},
  };
  for (int bits : {4, 8}) {
    picture::Bytes file =
        encode_bmp({.bits = bits, .pixels = grid({"067a0000", "00000000"}), .colours = palette});
    for (const auto& c : cases) {
      std::optional<picture::Bytes> copy = picture::bmp::with_entries_moved(file, c.moves);
      ASSERT_TRUE(copy) << bits;
      EXPECT_EQ(colours_of(*copy), colours_of(file)) << bits << " bits: a pixel changed colour";
      picture::Picture read;
      picture::decode_picture(*copy, read);
      picture::Picture expected;
      picture::decode_picture(encode_bmp({.bits = bits, .pixels = grid(c.moved)}), expected);
      EXPECT_EQ(read.indices, expected.indices) << bits << " bits";
    }
  }
  EXPECT_FALSE(picture::bmp::with_entries_moved({'B', 'M'}, {{1, 0}})) << "no whole BMP";
}

TEST(C64Matcher, ByThePaletteThatHoldsAllColoursElseEachByItself) {
  const struct {
    std::vector<std::uint32_t> colours;
    std::vector<int> numbers;
  } cases[] = {
      {{0x352879, 0x68372B}, {6, 2}},  // Pepto's
      {{0x2E2C9B, 0x813338}, {6, 2}},  // Colodore
      {{0x3D3081, 0x813338}, {6, 2}},  // within the tolerance of each, one palette each
      {{0x352879, 0x123456}, {6, -1}},
  };
  for (const auto& c : cases) {
    c64::Matcher matcher =
        c64::matcher_for(std::unordered_set<std::uint32_t>(c.colours.begin(), c.colours.end()));
    std::vector<int> numbers;
    for (std::uint32_t rgb : c.colours) numbers.push_back(matcher.number(rgb));
    EXPECT_EQ(numbers, c.numbers) << std::hex << c.colours[0];
  }
}

}  // namespace
