// The picture reader's pure parts and the C64 room, in-process: BMP rows
// unpacked and packed again, palette entries moved with their pixels, a
// colour's C64 number by the palette that holds a picture's colours, and
// palette files of each kind.
#include "picture/picture.hpp"

#include <gtest/gtest.h>

#include "c64/matcher.hpp"
#include "c64/palette_files.hpp"
#include "support/bmp_builder.hpp"

namespace {

using testing_support::Bytes;
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

namespace {

Bytes text_bytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The sixteen colours of Pepto's palette in each kind of file, and files that
// are not right.
TEST(PaletteFiles, EachKindIsReadAndABadOneRefusedWithItsLine) {
  const c64::Palette& pepto = c64::palettes[0];
  std::string vpl = "# VICE palette file\n", gpl = "GIMP Palette\nName: C64\nColumns: 4\n#\n", hex,
              act_text;
  for (std::uint32_t rgb : pepto.rgb) {
    char line[64];
    std::snprintf(line, sizeof line, "%02X %02X %02X 0\n", rgb >> 16, rgb >> 8 & 255, rgb & 255);
    vpl += line;
    std::snprintf(line, sizeof line, "%3u %3u %3u\tsome name\n", rgb >> 16, rgb >> 8 & 255,
                  rgb & 255);
    gpl += line;
    std::snprintf(line, sizeof line, "#%06x\r\n", rgb);
    hex += line;
    for (int shift : {16, 8, 0}) act_text += static_cast<char>(rgb >> shift & 255);
  }
  Bytes act = text_bytes(act_text);
  act.resize(768);
  Bytes act_counted = act;
  act_counted.insert(act_counted.end(), {0, 16, 0xFF, 0xFF});
  Bytes act_few = act;
  act_few.insert(act_few.end(), {0, 8, 0xFF, 0xFF});
  const struct {
    std::string name;
    Bytes bytes;
    std::string problem;
  } cases[] = {
      {"c64.vpl", text_bytes(vpl), ""},
      {"C64.GPL", text_bytes(gpl), ""},
      {"c64.hex", text_bytes(hex), ""},
      {"c64.act", act, ""},
      {"c64.act", act_counted, ""},
      {"c64.act", act_few, "c64.act: it holds 8 colours, not the C64's 16"},
      {"c64.act", Bytes(100), "c64.act: a Photoshop palette has 768 or 772 bytes, not 100"},
      {"bad.gpl", text_bytes("GIMP Palette\n0 0 0\n300 0 0\n"),
       "bad.gpl, line 3: \"300 0 0\" is no colour: a line holds red, green and blue 0 to 255, "
       "such as 108 94 181 light blue"},
      {"bad.gpl", text_bytes("0 0 0\n"),
       "bad.gpl, line 1: a GIMP palette starts with \"GIMP "
       "Palette\""},
      {"short.hex", text_bytes("000000\nFFFFFF\n"),
       "short.hex: it holds 2 colours, not the C64's 16 (black, white, red, ... light grey, in "
       "that order)"},
      {"bad.vpl", text_bytes("00 00 00 0\nGG 00 00 0\n"),
       "bad.vpl, line 2: \"GG 00 00 0\" is no colour: a line holds red, green and blue in hex, "
       "such as 6C 5E B5 0"},
      {"c64.txt", text_bytes(hex),
       "c64.txt: a palette file is a .vpl (VICE), .gpl (GIMP), .act (Photoshop) or .hex (16 hex "
       "colours) file"},
  };
  for (const auto& c : cases) {
    c64::Palette read{};
    companion::MaybeProblem problem = c64::read_palette_file(c.name, c.bytes, read);
    EXPECT_EQ(problem ? problem->text : "", c.problem) << c.name;
    if (!problem) {
      EXPECT_EQ(read.rgb, pepto.rgb) << c.name;
    }
  }
}

}  // namespace
