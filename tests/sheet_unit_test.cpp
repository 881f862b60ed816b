// quorvel-sheet's pure parts, in-process: its options, the grid and the frames,
// C64 colour names, the labels' prefix and the blocks' place.
#include <gtest/gtest.h>

#include "c64/arguments.hpp"
#include "sheet/project.hpp"
#include "sheet/proposal.hpp"
#include "sheet/sheet.hpp"

namespace {

using sheet::Options;

// A problem's text, "" for none.
std::string text_of(const companion::MaybeProblem& problem) {
  return problem ? problem->text : "";
}

std::string read(const std::vector<std::string>& arguments, Options& options) {
  options = Options();
  return text_of(sheet::read_options(arguments, options));
}

TEST(SheetOptions, ReadAsTheyAreWritten) {
  Options options;
  EXPECT_EQ(read({"--cell",    "32x32",  "--origin=1,2", "--spacing",    "3,4",
                  "--frames",  "0-3,6",  "--hires",      "--background", "Light-Blue",
                  "--address", "$C000",  "--labels",     "s.inc",        "--labels-syntax",
                  "kickass",   "--name", "ship",         "in.png",       "out.spr"},
                 options),
            "");
  EXPECT_EQ(options.cell_width * 100 + options.cell_height, 3232);
  EXPECT_EQ(
      options.origin_x * 1000 + options.origin_y * 100 + options.spacing_x * 10 + options.spacing_y,
      1234);
  EXPECT_EQ(options.frames, "0-3,6");
  EXPECT_EQ(options.mode, Options::Mode::hires);
  EXPECT_EQ(options.background, 14);
  EXPECT_EQ(options.address, 0xC000);
  EXPECT_EQ(options.syntax->name, "kickass");
  EXPECT_EQ(options.picture + " " + options.outname + " " + options.labels + " " + options.name,
            "in.png out.spr s.inc ship");
  EXPECT_EQ(
      read({"--codes", "$3,%10,-0,0x1", "--address", "none", "--", "--odd.bmp", "-"}, options), "");
  EXPECT_EQ((*options.codes)[0] * 1000 + (*options.codes)[1] * 100 + (*options.codes)[2] * 10 +
                (*options.codes)[3],
            3201);
  EXPECT_FALSE(options.address);
  EXPECT_EQ(options.picture, "--odd.bmp");
}

TEST(SheetOptions, WhatIsWrongIsSaid) {
  const struct {
    std::vector<std::string> arguments;
    std::string problem;
  } cases[] = {
      {{"in.bmp"}, "give a picture and an output name (quorvel-sheet --help)"},
      {{"--format", "json", "a", "-"},
       "--format json writes its document to standard output: give a file's name for the "
       "blocks and the labels, not -"},
      {{"--format", "xml", "a", "b"}, "--format takes text or json"},
      {{"a", "b", "c"}, "give a picture and an output name (quorvel-sheet --help)"},
      {{"--cell", "23x21", "a", "b"}, "--cell 23x21 is smaller than a sprite, 24x21"},
      {{"--cell", "24*21", "a", "b"}, "--cell takes WIDTHxHEIGHT, such as 24x21 or 32x32"},
      {{"--origin", "1", "a", "b"}, "--origin takes X,Y, such as 0,0"},
      {{"--background", "teal", "a", "b"},
       "--background takes a C64 colour, 0 to 15 or a name such as light-blue, not \"teal\""},
      {{"--background", "16", "a", "b"},
       "--background takes a C64 colour, 0 to 15 or a name such as light-blue, not \"16\""},
      {{"--multicolour1", "red", "a", "b"}, "colours by C64 colour need --background"},
      {{"--background", "blue", "--multicolour1", "6", "a", "b"},
       "each register needs a colour of its own"},
      {{"--hires", "--background", "0", "--multicolour2", "1", "a", "b"},
       "a hires sprite has no multicolour registers: give --background alone"},
      {{"--hires", "--multicolour", "a", "b"}, "--hires and --multicolour exclude each other"},
      {{"--codes", "0,1,2", "a", "b"}, "--codes takes four codes, such as 0,1,2,3"},
      {{"--codes", "0,1,2,3,0", "a", "b"}, "--codes takes four codes, such as 0,1,2,3"},
      {{"--codes", "0,1,2,-1", "a", "b"},
       "--codes takes codes 0 to 3 (0 the background, 1 multicolour 1, 2 the sprite colour, 3 "
       "multicolour 2), not \"-1\""},
      {{"--labels-syntax", "acme", "a", "b"}, "--labels-syntax takes plain or kickass"},
      {{"--name", "1ship", "a", "b"},
       "--name takes a label name: letters, digits and _, not a digit first"},
      {{"--frames"}, "--frames needs a value"},
      {{"--frame=1", "a", "b"}, "there is no option --frame=1 (quorvel-sheet --help lists them)"},
  };
  for (const auto& c : cases) {
    Options options;
    EXPECT_EQ(read(c.arguments, options), c.problem) << c.arguments.front();
  }
}

TEST(SheetOptions, C64ColoursByNumberOrName) {
  const struct {
    std::string text;
    int number;
  } cases[] = {{"0", 0},           {"15", 15},         {"light-blue", 14}, {"LIGHT-GREY", 15},
               {"light-gray", 15}, {"gray", 12},       {"dark-grey", 11},  {"purple", 4},
               {"16", -1},         {"light blue", 14}, {"lightblue", -1},  {"", -1},
               {"-1", -1}};
  for (const auto& c : cases)
    EXPECT_EQ(c64::colour_number_of(c.text).value_or(-1), c.number) << c.text;
}

TEST(SheetGrid, WholeCellsNumberedRowByRow) {
  const struct {
    std::vector<std::string> options;
    int width, height, columns, rows, left5, top5;
  } cases[] = {
      {{}, 96, 42, 4, 2, 24, 21},
      {{}, 95, 42, 3, 2, 48, 21},
      {{"--cell", "32x32"}, 128, 64, 4, 2, 32, 32},
      {{"--origin", "2,1", "--spacing", "1,1"}, 100, 44, 3, 2, 52, 23},
      {{"--origin", "30,0"}, 48, 21, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    Options options;
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"a", "b"});
    ASSERT_EQ(read(arguments, options), "");
    sheet::Grid grid = sheet::grid_for(options, c.width, c.height);
    EXPECT_EQ(grid.columns * 10 + grid.rows, c.columns * 10 + c.rows) << c.width;
    int fifth = grid.count() > 5 ? grid.left(5) * 1000 + grid.top(5) : 0;
    EXPECT_EQ(fifth, c.left5 * 1000 + c.top5) << c.width;
  }
}

TEST(SheetGrid, FramesPickAndOrderCells) {
  const struct {
    std::string text;
    std::vector<int> frames;
    std::string problem;
  } cases[] = {
      {"", {0, 1, 2, 3}, ""},
      {"0-3,6", {}, "--frames names cell 6, but the picture holds 4 cells (0 to 3)"},
      {"3,0,0,1-2", {3, 0, 0, 1, 2}, ""},
      {"2-1", {}, "--frames takes cell numbers and ranges, such as 0-3,6, not \"2-1\""},
      {"1,,2", {}, "--frames takes cell numbers and ranges, such as 0-3,6, not \"\""},
      {"x", {}, "--frames takes cell numbers and ranges, such as 0-3,6, not \"x\""},
  };
  for (const auto& c : cases) {
    std::vector<int> frames;
    EXPECT_EQ(text_of(sheet::read_frames(c.text, 4, frames)), c.problem) << c.text;
    EXPECT_EQ(c.problem.empty() ? frames : std::vector<int>{}, c.frames) << c.text;
  }
}

TEST(SheetLabels, PrefixFromThePictureName) {
  const struct {
    std::string picture, prefix;
  } cases[] = {{"ships.png", "ships"},
               {"gfx/my ship-1.bmp", "my_ship_1"},
               {"C:\\art\\2ships.png", "_2ships"},
               {".png", "_png"},
               {"a.b.c", "a_b"},
               {"sprites", "sprites"},
               {"dir/", "sprite"}};
  for (const auto& c : cases) EXPECT_EQ(sheet::label_prefix(c.picture), c.prefix) << c.picture;
}

TEST(SheetBlocks, OnBlocksInsideOneVicBank) {
  const struct {
    int address;
    std::size_t frames;
    bool fits;
  } cases[] = {{0x2000, 4, true},  {0x2040, 1, true},   {0x2020, 1, false},
               {0x3FC0, 1, true},  {0x3FC0, 2, false},  {0xFFC0, 1, true},
               {0xFFC0, 2, false}, {0x0000, 256, true}, {0x0000, 257, false}};
  for (const auto& c : cases)
    EXPECT_EQ(!sheet::address_problem(c.address, c.frames), c.fits) << c.address << " " << c.frames;
}

// The rule make and ninja read: every output on the left, the project file,
// each picture once and a palette file on the right, a name's spaces, # and
// $ as make reads them; and an empty rule for each input.
TEST(ProjectDependencies, EveryOutputDependsOnEveryInput) {
  const struct {
    std::string palette, picture, expected;
  } cases[] = {
      {"pepto", "gfx/ship.png",
       "s.prg s.inc: g/game.toml gfx/ship.png\n\ng/game.toml:\n\ngfx/ship.png:\n"},
      {"g/c64.gpl", "my ship#1$.png",
       "s.prg s.inc: g/game.toml my\\ ship\\#1$$.png g/c64.gpl\n\ng/game.toml:\n\nmy\\ "
       "ship\\#1$$.png:\n"
       "\ng/c64.gpl:\n"},
      {"", "C:\\art\\a:b.png",
       "s.prg s.inc: g/game.toml C:\\art\\a\\:b.png\n\ng/game.toml:\n\nC:\\art\\a\\:b.png:\n"},
  };
  for (const auto& c : cases) {
    sheet::Project project;
    project.file = "g/game.toml";
    project.output = "s.prg";
    project.labels = "s.inc";
    project.palette = c.palette;
    for (int twice = 0; twice < 2; ++twice)
      project.sheets.emplace_back().options.picture = c.picture;
    EXPECT_EQ(sheet::dependency_text(project), c.expected) << c.picture;
  }
}

// A picture of `width` by `height`, index 0 but for each drawing (left, top,
// width, height) in index 1; a drawing of width 1 a thin line.
picture::Picture drawn(int width, int height, const std::vector<std::array<int, 4>>& drawings) {
  picture::Picture picture;
  picture.width = width, picture.height = height, picture.bits = 8;
  picture.palette = {0x000000, 0xFFFFFF};
  picture.indices.assign(static_cast<std::size_t>(width * height), 0);
  for (const auto& [left, top, across, down] : drawings)
    for (int y = top; y < top + down; ++y)
      for (int x = left; x < left + across; ++x)
        picture.indices[static_cast<std::size_t>(y * width + x)] = 1;
  return picture;
}

TEST(SheetGridProposal, TheGridThatHoldsEachDrawingInACellOfItsOwn) {
  // cells of 32 by 32 from 1,1 with gaps of 2: a step of 34
  std::vector<std::array<int, 4>> framed;
  for (int cell = 0; cell < 6; ++cell)
    framed.push_back({1 + cell % 3 * 34 + (cell == 4), 1 + cell / 3 * 34, 20 - (cell == 4), 18});
  const struct {
    std::string name;
    picture::Picture picture;
    std::string proposal;  // cell origin spacing, or "none"
  } cases[] = {
      {"32 by 32 cells from 1,1, 2 apart", drawn(1 + 3 * 34, 1 + 2 * 34, framed),
       "24x21 1,1 10,13"},
      {"one sprite", drawn(24, 21, {{2, 3, 10, 10}}), "24x21 0,0 0,0"},
      {"a row drawn from each cell's edge",
       drawn(96, 21, {{0, 3, 12, 15}, {24, 0, 10, 21}, {48, 2, 20, 15}}), "24x21 0,0 0,0"},
      {"a row whose drawings start inside their cells",
       drawn(96, 21, {{2, 0, 20, 21}, {26, 0, 18, 21}}), "24x21 2,0 0,0"},
      {"drawings that touch: no gutter", drawn(96, 21, {{0, 0, 96, 21}}), "none"},
      {"a drawing wider than a sprite", drawn(80, 21, {{0, 0, 30, 10}, {40, 0, 20, 10}}), "none"},
      {"nothing drawn", drawn(48, 21, {}), "none"},
      {"smaller than a sprite", drawn(20, 21, {{0, 0, 4, 4}}), "none"},
  };
  for (const auto& c : cases) {
    std::optional<sheet::GridProposal> proposal = sheet::propose_grid(c.picture);
    std::string text =
        !proposal
            ? "none"
            : std::to_string(proposal->cell_width) + "x" + std::to_string(proposal->cell_height) +
                  " " + std::to_string(proposal->origin_x) + "," +
                  std::to_string(proposal->origin_y) + " " + std::to_string(proposal->spacing_x) +
                  "," + std::to_string(proposal->spacing_y);
    EXPECT_EQ(text, c.proposal) << c.name;
  }
}

}  // namespace
