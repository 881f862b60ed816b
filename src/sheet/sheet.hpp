// quorvel-sheet's pure parts: its options, the plan they make with the
// picture, the grid of cells, each cell's sprite by C64 colour or by palette
// index through the converter's own rule, the findings, and the labels.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "c64/palettes.hpp"
#include "companion/companion.hpp"
#include "picture/picture.hpp"

namespace sheet {

using companion::MaybeProblem;
using companion::Problem;
using picture::Picture;

// A syntax of label lines: BEFORE NAME BETWEEN VALUE.
struct Syntax {
  std::string_view name;
  std::string_view before, between;
};
inline constexpr Syntax syntaxes[] = {
    {"plain", "", " = "},           // ACME, 64tass and ca65 read these unchanged
    {"kickass", ".const ", " = "},  // KickAssembler
};

struct Options {
  std::string picture, outname;
  std::string project;  // a project file, given alone: its keys say the rest
  int cell_width = 24, cell_height = 21;
  int origin_x = 0, origin_y = 0, spacing_x = 0, spacing_y = 0;
  std::string frames;  // empty: every cell, in order
  enum class Mode { unset, hires, multicolour } mode = Mode::unset;
  // By C64 colour: the registers' colour numbers, where given.
  std::optional<int> background, multicolour1, multicolour2;
  // By palette index: the code of indices 0 to 3, as quorvel reads its colour arguments.
  std::optional<std::array<std::uint8_t, 4>> codes;
  std::optional<int> address;           // the load address; none without
  std::string labels;                   // the labels file, if any
  const Syntax* syntax = &syntaxes[0];  // of the labels
  std::string name;                     // the labels' prefix; empty: from the picture's name
  std::string palette;                  // by C64 colour: a palette's name, or a palette file
  companion::Format format = companion::Format::text;
  bool help = false, version = false;
};

// Reads the command line (after the program's name), and checks what its
// options say together.
MaybeProblem read_options(const std::vector<std::string>& arguments, Options& options);

// The cells the picture holds whole, numbered row by row from 0.
struct Grid {
  int columns = 0, rows = 0;
  int cell_width = 24, cell_height = 21;
  int origin_x = 0, origin_y = 0, step_x = 24, step_y = 21;
  int count() const { return columns * rows; }
  int left(int cell) const { return origin_x + cell % columns * step_x; }
  int top(int cell) const { return origin_y + cell / columns * step_y; }
};
Grid grid_for(const Options& options, int width, int height);

// Whether the command line names a project file: one argument that ends in
// ".toml" (in any letter case).
bool names_a_project(const std::vector<std::string>& files);

// One option that takes a value, with its value, as the command line reads
// it ("--cell", "32x32").
MaybeProblem read_option(const std::string& option, const std::string& value, Options& options);

// "0-3,6", "3,0": the cells to write, in order, repeats allowed; a cell
// outside the grid among it is a problem.
MaybeProblem read_frames(const std::string& text, int cells, std::vector<int>& frames);

// Everything a run does, decided once from the options and the picture; the
// steps after it only read it.
struct Plan {
  Grid grid;
  std::vector<int> frames;  // the cells to write, in order
  bool by_colour = false;   // by C64 colour; else by palette index
  bool hires = false;
  // By C64 colour: the registers' colour numbers.
  int background = 0;
  std::optional<int> multicolour1, multicolour2;
  // The code of each palette index (by colour: codes 0 to 3 as they are).
  std::uint8_t map[16] = {};
  bool codes_given = false;  // by palette index: the codes were given, not taken by default
  // By C64 colour: the palette the colours are read in; null: the first that
  // holds them all.
  const c64::Palette* palette = nullptr;
  c64::Palette palette_file{};  // a palette read from a file, which `palette` then points to
  std::optional<int> address;
  const Syntax* syntax = &syntaxes[0];
  std::string prefix;  // of the labels
};

// The plan for a picture; a problem when the options cannot make one of it.
// `shown` is the picture's name as messages show it.
MaybeProblem make_plan(const Options& options, const Picture& picture, const std::string& shown,
                       Plan& plan);

// A way the sprite of a cell would not be the picture, or (a note) all is
// well but not as it may seem.
struct Finding {
  int cell;          // -1: of the picture, no cell's
  int x, y;          // the first pixel it concerns, in the picture; -1 for none
  std::string kind;  // a stable word, such as "pairs"
  std::string message;
  // Drawing outside every cell: its pixels, x and y, the first 4096.
  std::vector<std::pair<int, int>> pixels = {};
};

// Each output frame's sprite, 63 bytes, and its own colour (by C64 colour:
// the one colour of the cell besides the registers'; else the background's).
struct Frame {
  int cell = 0;
  std::array<std::uint8_t, 63> sprite{};
  int colour = 0;
};

struct Conversion {
  std::vector<Frame> frames;
  std::vector<Finding> findings;
  std::vector<Finding> notes;  // all is well, but not as it may seem
  bool hires = false;
};

// Converts the plan's frames, each cell read once.
Conversion convert_frames(const Picture& picture, const Plan& plan);

// The picture's C64 colours and their pixels, for a picture given without
// colours: "blue (6) 1234 pixels, ...".
std::string colour_census(const Picture& picture);

// The file quorvel-sheet writes: the load address, if any, then 64 bytes a
// frame (the sprite and a zero byte).
std::vector<std::uint8_t> blocks(const Conversion& conversion, std::optional<int> address);

// Whether the blocks from `address` lie on 64-byte boundaries in one 16 KiB
// VIC bank.
MaybeProblem address_problem(int address, std::size_t frames);

// The labels' prefix from a picture's file name: its name without folder and
// extension, every character but a letter, digit or "_" made "_", and "_"
// before a leading digit.
std::string label_prefix(const std::string& picture);

// The labels, in order: each frame's sprite pointer and, by C64 colour, its
// colour and the registers'.
std::vector<std::pair<std::string, int>> labels(const Conversion& conversion, const Plan& plan);
// One line a label in the plan's syntax ("NAME = VALUE", ".const NAME = VALUE").
std::string labels_text(const Conversion& conversion, const Plan& plan);

}  // namespace sheet
