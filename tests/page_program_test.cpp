// quorvel-picture, the page's own program, built natively: what it tells the
// page of a picture (the page reads no picture itself), and the copy it makes
// with palette entries moved.
#include <gtest/gtest.h>

#include "c64/palettes.hpp"
#include "support/json_reader.hpp"
#include "support/scenario.hpp"

namespace {

using namespace testing_support;

JsonValue told(const TempDir& folder, const std::vector<std::string>& arguments) {
  RunResult run = run_program(
      arguments, {.working_directory = folder.path, .program = QUORVEL_PICTURE_PROGRAM});
  EXPECT_EQ(run.status, 0) << run.output << run.error;
  std::string problem;
  std::optional<JsonValue> document = parse_json(run.output, problem);
  EXPECT_TRUE(document) << problem;
  return document.value_or(JsonValue{});
}

std::vector<double> numbers(const JsonValue& array) {
  std::vector<double> values;
  for (const JsonValue& item : array.items) values.push_back(item.value);
  return values;
}

TEST(PageProgram, TellsAPicturesFormatPaletteColoursAndPixels) {
  TempDir folder;
  std::vector<std::uint32_t> pepto(c64::palettes[0].rgb.begin(), c64::palettes[0].rgb.end());
  // Indices 6, 10 and 1 are C64 blue, light red and white in Pepto's palette.
  write_file(folder.file("c64.bmp"),
             encode_bmp({.bits = 4, .pixels = grid({"66aa1166"}), .colours = pepto}));
  JsonValue facts = told(folder, {"c64.bmp", "indices.bin"});
  EXPECT_EQ(facts["format"].string, "BMP");
  EXPECT_EQ(std::vector<double>({facts["width"].value, facts["height"].value, facts["bits"].value}),
            std::vector<double>({8, 1, 4}));
  EXPECT_EQ(numbers(facts["c64"]),
            std::vector<double>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_EQ(facts["palette"].items.at(6).string, "#352879");
  EXPECT_EQ(facts["counts"].items.size(), 3u);
  EXPECT_EQ(read_file(folder.file("indices.bin")), Bytes({6, 6, 10, 10, 1, 1, 6, 6}));
  EXPECT_EQ(facts["grid"].type, JsonValue::null) << "smaller than a sprite";
  // two drawings 34 pixels apart, from 2: the grid that holds them
  PixelRows framed(23, std::vector<std::uint8_t>(60, 6));
  for (int x : {1, 35})
    for (int y = 1; y < 20; ++y)
      framed[static_cast<std::size_t>(y)][static_cast<std::size_t>(x + y % 20)] = 1;
  write_file(folder.file("framed.bmp"),
             encode_bmp({.bits = 4, .pixels = framed, .colours = pepto}));
  JsonValue grid = told(folder, {"framed.bmp"})["grid"];
  EXPECT_EQ(grid["cell"].string + " " + grid["origin"].string + " " + grid["spacing"].string,
            "24x21 2,0 10,0");

  JsonValue moved = told(folder, {"--move", "6,0", "--move", "10,2", "c64.bmp", "copy.bmp"});
  EXPECT_TRUE(moved["written"].truth);
  told(folder, {"copy.bmp", "copied.bin"});
  EXPECT_EQ(read_file(folder.file("copied.bin")), Bytes({0, 0, 2, 2, 1, 1, 0, 0}));

  write_file(folder.file("notes.bmp"), std::string("not a picture\n"));
  JsonValue refused = told(folder, {"notes.bmp"});
  EXPECT_EQ(refused["format"].type, JsonValue::null);
  EXPECT_EQ(refused["refusal"].string, "it is neither a BMP nor a PNG picture");
  EXPECT_EQ(told(folder, {})["colours"].items.size(), 16u);
  EXPECT_EQ(told(folder, {})["palettes"].items.size(), c64::palettes.size());
  EXPECT_EQ(told(folder, {})["palettes"].items[1].string, "colodore");
}

}  // namespace
