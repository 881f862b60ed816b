// quorvel-sheet PROJECT.toml through the real program: each set's blocks are
// the command line's for its cells, at the place the layout gives; the labels,
// tables and dependency file in each syntax; bad projects and findings write
// nothing and say where.
#include <gtest/gtest.h>

#include "c64/palettes.hpp"
#include "support/json_reader.hpp"
#include "support/scenario.hpp"

namespace {

using namespace testing_support;

// A sheet of 4 by 2 cells of 24 by 21 by C64 colour: the background blue,
// multicolour 1 light red, multicolour 2 orange, cell N's own colour N % 4
// + 1 (white, red, cyan, purple), drawn in pairs; cell 3 in purple alone,
// pixel by pixel, for a hires sprite. Pixel (left, top) of `odd_cell` breaks
// its pair.
Bytes colour_sheet(int odd_cell = -1) {
  constexpr int columns = 4, rows = 2;
  PixelRows pixels(21 * rows, std::vector<std::uint8_t>(24 * columns));
  for (int y = 0; y < 21 * rows; ++y)
    for (int x = 0; x < 24 * columns; ++x) {
      int cell = y / 21 * columns + x / 24, cx = x % 24 / 2, cy = y % 21;
      int codes[4] = {6, 10, cell % 4 + 1, 8};
      int code = cell == 3 ? (x + y) % 3 == 0 ? 2 : 0 : (cx * (cell + 1) + cy) % 4;
      pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(codes[code]);
    }
  if (odd_cell >= 0) {
    auto& pixel = pixels[static_cast<std::size_t>(odd_cell / columns * 21)]
                        [static_cast<std::size_t>(odd_cell % columns * 24)];
    pixel = pixel == 6 ? 10 : 6;
  }
  const c64::Palette& pepto = c64::palettes[0];
  return encode_bmp({.bits = 4,
                     .pixels = pixels,
                     .colours = std::vector<std::uint32_t>(pepto.rgb.begin(), pepto.rgb.end())});
}

const std::string registers =
    "[registers]\n"
    "background = \"blue\"\n"
    "multicolour1 = \"light-red\"\n"
    "multicolour2 = \"orange\"\n";

// The game of the tests: two animations (one pinned), an object, a hires
// animation of the same sheet.
const std::string game =
    "output = \"sprites.prg\"\n"
    "address = \"2000\"\n"
    "labels = \"sprites.inc\"\n"
    "tables = \"tables.asm\"\n"
    "dependencies = \"sprites.d\"\n" +
    registers +
    "[[sheet]]\n"
    "picture = \"sheet.bmp\"\n"
    "[[sheet.animation]]\n"
    "name = \"ship\"\n"
    "cells = \"0-1\"\n"
    "[[sheet.animation]]\n"
    "name = \"enemy\"\n"
    "cells = \"2\"\n"
    "address = \"2400\"\n"
    "[[sheet.object]]\n"
    "name = \"boss\"\n"
    "cells = \"4,5,6,7\"\n"
    "layout = \"2x2\"\n"
    "[[sheet.animation]]\n"
    "name = \"digit\"\n"
    "cells = \"3\"\n"
    "mode = \"hires\"\n";

// Each test of a project file, skipped by a program built without toml++.
class ProjectProgram : public testing::Test {
 protected:
  void SetUp() override {
    if (!QUORVEL_SHEET_READS_TOML) GTEST_SKIP() << "built without libtomlplusplus-dev";
  }
};

RunResult run_sheet(const TempDir& folder, const std::vector<std::string>& arguments) {
  return run_program(arguments, {.working_directory = folder.path, .program = sheet_path()});
}

// The blocks of the command line for these cells (no load address).
std::string command_line_blocks(const TempDir& folder, const std::string& cells, bool hires) {
  std::vector<std::string> arguments = {"--background", "blue", "--frames", cells};
  if (hires)
    arguments.push_back("--hires");
  else
    arguments.insert(arguments.end(), {"--multicolour1", "light-red", "--multicolour2", "orange"});
  arguments.insert(arguments.end(), {"sheet.bmp", "cells.spr"});
  RunResult run = run_sheet(folder, arguments);
  EXPECT_EQ(run.status, 0) << run.output << run.error;
  Bytes bytes = read_file(folder.file("cells.spr"));
  return std::string(bytes.begin(), bytes.end());
}

// The run again with --format json: valid JSON that says what the console said.
void expect_json_agrees(const TempDir& folder, const RunResult& console, const std::string& file) {
  RunResult json = run_sheet(folder, {"--format", "json", "game.toml"});
  EXPECT_EQ(json_disagreement(json.output, json.status, console.output, console.error,
                              console.status, file),
            "");
}

TEST_F(ProjectProgram, EachSetIsTheCommandLinesBlocksWhereTheLayoutPutsIt) {
  TempDir folder;
  write_file(folder.file("sheet.bmp"), colour_sheet());
  write_file(folder.file("game.toml"), game);
  RunResult run = run_sheet(folder, {"game.toml"});
  ASSERT_EQ(run.status, 0) << run.output << run.error;
  EXPECT_EQ(run.output + run.error, "");
  Bytes made = read_file(folder.file("sprites.prg"));
  // ship at $2000, enemy pinned at $2400, then boss and digit after it
  ASSERT_EQ(made.size(), 2 + 0x400 + 64 * 6u);
  std::string blocks(made.begin(), made.end());
  EXPECT_EQ(blocks.substr(0, 2), std::string("\x00\x20", 2));
  EXPECT_EQ(blocks.substr(2, 128), command_line_blocks(folder, "0-1", false));
  EXPECT_EQ(blocks.substr(130, 0x400 - 128), std::string(0x400 - 128, '\0'));
  EXPECT_EQ(blocks.substr(2 + 0x400, 64), command_line_blocks(folder, "2", false));
  EXPECT_EQ(blocks.substr(2 + 0x440, 256), command_line_blocks(folder, "4-7", false));
  EXPECT_EQ(blocks.substr(2 + 0x540, 64), command_line_blocks(folder, "3", true));
  Bytes labels = read_file(folder.file("sprites.inc"));
  EXPECT_EQ(std::string(labels.begin(), labels.end()),
            "ship_0 = 128\nship_0_colour = 1\nship_1 = 129\nship_1_colour = 2\n"
            "ship_frames = 2\nship_multicolour = 1\n"
            "enemy_0 = 144\nenemy_0_colour = 3\nenemy_frames = 1\nenemy_multicolour = 1\n"
            "boss_0 = 145\nboss_0_colour = 1\nboss_0_x = 0\nboss_0_y = 0\n"
            "boss_1 = 146\nboss_1_colour = 2\nboss_1_x = 24\nboss_1_y = 0\n"
            "boss_2 = 147\nboss_2_colour = 3\nboss_2_x = 0\nboss_2_y = 21\n"
            "boss_3 = 148\nboss_3_colour = 4\nboss_3_x = 24\nboss_3_y = 21\n"
            "boss_sprites = 4\nboss_multicolour = 1\n"
            "digit_0 = 149\ndigit_0_colour = 4\ndigit_frames = 1\ndigit_multicolour = 0\n"
            "game_background = 6\ngame_multicolour1 = 10\ngame_multicolour2 = 8\n");
  Bytes tables = read_file(folder.file("tables.asm"));
  EXPECT_EQ(std::string(tables.begin(), tables.end()),
            "ship_pointers !byte 128, 129\nship_colours !byte 1, 2\n"
            "enemy_pointers !byte 144\nenemy_colours !byte 3\n"
            "boss_pointers !byte 145, 146, 147, 148\nboss_colours !byte 1, 2, 3, 4\n"
            "boss_x !byte 0, 24, 0, 24\nboss_y !byte 0, 0, 21, 21\n"
            "digit_pointers !byte 149\ndigit_colours !byte 4\n");
  Bytes dependencies = read_file(folder.file("sprites.d"));
  EXPECT_EQ(
      std::string(dependencies.begin(), dependencies.end()),
      "sprites.prg sprites.inc tables.asm: game.toml sheet.bmp\n\ngame.toml:\n\nsheet.bmp:\n");
  expect_json_agrees(folder, run, "sheet.bmp");
  // what a program needs to show the blocks: their address, the registers, the files
  std::string problem;
  std::optional<JsonValue> document =
      parse_json(run_sheet(folder, {"--format", "json", "game.toml"}).output, problem);
  ASSERT_TRUE(document) << problem;
  EXPECT_EQ((*document)["address"].value, 0x2000);
  EXPECT_EQ((*document)["registers"]["multicolour2"].value, 8);
  std::string outputs;
  for (const JsonValue& name : (*document)["outputs"].items) outputs += name.string + " ";
  EXPECT_EQ(outputs, "sprites.prg sprites.inc tables.asm sprites.d ");
  EXPECT_EQ((*document)["sets"].items.at(2)["columns"].value, 2);
}

TEST_F(ProjectProgram, EachSyntaxWritesItsLabelsAndTables) {
  const struct {
    std::string syntax, first_label, first_table, start;
  } cases[] = {
      {"acme", "ship_0 = 128", "ship_pointers !byte 128, 129", ""},
      {"64tass", "ship_0 = 128", "ship_pointers .byte 128, 129", ""},
      {"ca65", "ship_0 = 128", "ship_pointers: .byte 128, 129", ""},
      {"kickass", ".const ship_0 = 128", "ship_pointers: .byte 128, 129", ""},
      {"c", "#define ship_0 128", "static const unsigned char ship_pointers[] = {128, 129};",
       "#pragma once\n"},
  };
  TempDir folder;
  write_file(folder.file("sheet.bmp"), colour_sheet());
  for (const auto& c : cases) {
    write_file(folder.file("game.toml"), "syntax = \"" + c.syntax + "\"\n" + game);
    RunResult run = run_sheet(folder, {"game.toml"});
    ASSERT_EQ(run.status, 0) << c.syntax << run.error;
    Bytes labels = read_file(folder.file("sprites.inc"));
    Bytes tables = read_file(folder.file("tables.asm"));
    EXPECT_EQ(std::string(labels.begin(), labels.end())
                  .substr(0, c.start.size() + c.first_label.size() + 1),
              c.start + c.first_label + "\n")
        << c.syntax;
    EXPECT_EQ(std::string(tables.begin(), tables.end())
                  .substr(0, c.start.size() + c.first_table.size() + 1),
              c.start + c.first_table + "\n")
        << c.syntax;
  }
}

// A project of the sheet: the one sheet's keys, its sets' text after them.
std::string project_of(const std::string& top, const std::string& sets,
                       const std::string& sheet = "") {
  return "output = \"sprites.prg\"\nlabels = \"sprites.inc\"\n" + top + registers +
         "[[sheet]]\npicture = \"sheet.bmp\"\n" + sheet + sets;
}

const std::string ship = "[[sheet.animation]]\nname = \"ship\"\ncells = \"0-3\"\n";

TEST_F(ProjectProgram, BadProjectsAreRefusedWithWhereAndNothingIsWritten) {
  const struct {
    std::string name, project, error;
  } cases[] = {
      {"a TOML syntax error", "output = \"a.prg\"\n[[sheet]\n",
       "game.toml, line 2, column 9: Error while parsing"},
      {"an unknown key", project_of("adress = \"2000\"\n", ship),
       "game.toml, line 3: there is no key \"adress\" in the project (the nearest is \"address\")"},
      {"an unknown key of a set", project_of("", ship + "frame = \"1\"\n"),
       "game.toml, line 12: there is no key \"frame\" in [[sheet.animation]] (the nearest is "
       "\"name\")"},
      {"no output", "[[sheet]]\npicture = \"sheet.bmp\"\n",
       "game.toml, line 1: the project needs output"},
      {"a missing picture", "output = \"a.prg\"\n[[sheet]]\npicture = \"gone.bmp\"\n" + ship,
       "game.toml, line 2: cannot read \"gone.bmp\": "},
      {"a name used twice",
       project_of("", ship + "[[sheet.animation]]\nname = \"Ship\"\ncells = \"4\"\n"),
       "game.toml, line 12: the name \"Ship\" is used twice (also at line 9; assemblers such as "
       "64tass read names in any letter case)"},
      {"a name no assembler takes",
       project_of("", "[[sheet.animation]]\nname = \"_ship\"\ncells = \"0\"\n"),
       "game.toml, line 10: name \"_ship\" is no label name the assemblers take: letters, digits "
       "and _, a letter first"},
      {"a cell outside the sheet",
       project_of("", "[[sheet.animation]]\nname = \"ship\"\ncells = \"8\"\n"),
       "game.toml, line 9: cells names cell 8, but the picture holds 8 cells (0 to 7)"},
      {"a pinned address without a project address", project_of("", ship + "address = \"2400\"\n"),
       "game.toml, line 12: ship is pinned at $2400, but the project has no address: give "
       "address = \"...\" at its top"},
      {"a pinned set on another",
       project_of(
           "address = \"2000\"\n",
           ship + "[[sheet.animation]]\nname = \"enemy\"\ncells = \"4\"\naddress = \"20C0\"\n"),
       "game.toml: animation enemy, pinned at $20C0, takes $20C0 to $20FF, which lies on "
       "animation ship ($2000 to $20FF): give it another address, or leave its address out"},
      {"a set that leaves the bank", project_of("address = \"3F80\"\n", ship),
       "game.toml: animation ship takes $3F80 to $407F, which leaves the 16 KiB VIC bank of the "
       "project's address ($0000 to $3FFF): a sprite pointer reaches only the blocks of its bank"},
      {"an object whose layout its cells do not fill",
       project_of("", "[[sheet.object]]\nname = \"boss\"\ncells = \"0-2\"\nlayout = \"2x2\"\n"),
       "game.toml, line 9: object boss has 3 cells, but its layout 2x2 takes 4"},
      {"labels that meet",
       project_of("tables = \"t.asm\"\n",
                  "[[sheet.object]]\nname = \"a\"\ncells = \"0-1\"\nlayout = \"2x1\"\n"
                  "[[sheet.object]]\nname = \"a_1\"\ncells = \"2-3\"\nlayout = \"2x1\"\n"),
       "game.toml: the label \"a_1_x\" is made twice"},
      {"a decimal address", project_of("address = 2000\n", ship),
       "game.toml, line 3: address takes an address in hex, \"2000\" or 0x2000: a plain number is "
       "decimal"},
      {"an unknown mode", project_of("", ship + "mode = \"hi-res\"\n"),
       "game.toml, line 12: mode takes \"multicolour\" or \"hires\", not \"hi-res\""},
      {"a bad cell size", project_of("", ship, "cell = \"20x20\"\n"),
       "game.toml, line 9: cell 20x20 is smaller than a sprite, 24x21"},
      {"an output that is the picture", project_of("tables = \"sheet.bmp\"\n", ship),
       "game.toml: \"sheet.bmp\" is an input of the project (its file or a picture): give another "
       "name"},
      {"a sheet without sets", project_of("", ""),
       "game.toml, line 7: the sheet of \"sheet.bmp\" has no [[sheet.animation]] and no "
       "[[sheet.object]]: name its sprites"},
  };
  for (const auto& c : cases) {
    TempDir folder;
    write_file(folder.file("sheet.bmp"), colour_sheet());
    write_file(folder.file("game.toml"), c.project);
    RunResult run = run_sheet(folder, {"game.toml"});
    EXPECT_EQ(run.status, 2) << c.name;
    EXPECT_EQ(run.output, "") << c.name;
    std::string expected = "quorvel-sheet: " + c.error;
    EXPECT_EQ(run.error.substr(0, expected.size()), expected) << c.name;
    EXPECT_EQ(std::count(run.error.begin(), run.error.end(), '\n'), 1) << c.name << run.error;
    EXPECT_FALSE(file_exists(folder.file("sprites.prg")) || file_exists(folder.file("a.prg")))
        << c.name;
    expect_json_agrees(folder, run, "game.toml");
  }
}

TEST_F(ProjectProgram, AFindingNamesPictureSetCellAndPixelAndWritesNothing) {
  TempDir folder;
  write_file(folder.file("sheet.bmp"), colour_sheet(5));
  write_file(folder.file("game.toml"), game);
  RunResult run = run_sheet(folder, {"game.toml"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, "");
  std::string line =
      "sheet.bmp: warning: object boss, cell 5, pixel 24, 21: 1 pair of pixels differ";
  EXPECT_EQ(run.output.substr(0, line.size()), line) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  EXPECT_FALSE(file_exists(folder.file("sprites.prg")) || file_exists(folder.file("sprites.inc")));
  expect_json_agrees(folder, run, "sheet.bmp");
  RunResult json = run_sheet(folder, {"--format", "json", "game.toml"});
  EXPECT_NE(json.output.find("\"object\": \"boss\""), std::string::npos) << json.output;
}

TEST_F(ProjectProgram, AProjectFileTakesNoOtherOption) {
  TempDir folder;
  RunResult run = run_sheet(folder, {"--address", "2000", "game.toml"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.error,
            "quorvel-sheet: a project file takes no option but --format, not --address: its keys "
            "say the rest\n");
}

}  // namespace
