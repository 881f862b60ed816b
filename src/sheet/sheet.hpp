// quorvel-sheet's pure parts: its options, the grid of cells, each cell's
// sprite by C64 colour or by palette index through the converter's own rule,
// the findings, and the labels for the assembler.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sheet/picture.hpp"

namespace sheet {

struct Options {
  std::string picture, outname;
  int cell_width = 24, cell_height = 21;
  int origin_x = 0, origin_y = 0, spacing_x = 0, spacing_y = 0;
  std::string frames;  // empty: every cell, in order
  enum class Mode { unset, hires, multicolour } mode = Mode::unset;
  // By C64 colour: the registers' colour numbers, where given.
  std::optional<int> background, multicolour1, multicolour2;
  // By palette index: the code of indices 0 to 3, as quorvel reads its colour arguments.
  std::optional<std::array<std::uint8_t, 4>> codes;
  std::optional<int> address;  // the load address; none without
  std::string labels;          // the labels file, if any
  bool kickass = false;        // labels as KickAssembler's .const
  std::string name;            // the labels' prefix; empty: from the picture's name
  bool help = false, version = false;
};

// Reads the command line (after the program's name): "" or what is wrong.
std::string read_options(const std::vector<std::string>& arguments, Options& options);

// A C64 colour option: a number 0 to 15 or a name ("light-blue", "grey" or
// "gray"), in any letter case; nullopt when it is neither.
std::optional<int> c64_colour_number(const std::string& text);

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

// "0-3,6", "3,0": the cells to write, in order, repeats allowed; "" or what
// is wrong (a cell outside the grid among it).
std::string read_frames(const std::string& text, int cells, std::vector<int>& frames);

// A way the sprite of a cell would not be the picture.
struct Finding {
  int cell;
  int x, y;  // the first pixel it concerns, in the picture
  std::string message;
};

// Each output frame's sprite, 63 bytes, and its own colour (by C64 colour:
// the one colour of the cell besides the registers'; else the background's).
struct Frame {
  std::array<std::uint8_t, 63> sprite{};
  int colour = 0;
};

struct Conversion {
  std::vector<Frame> frames;
  std::vector<Finding> findings;
  bool hires = false;
};

// Converts the frames: by C64 colour when the options give a background, by
// palette index otherwise (an indexed picture). "" or why it cannot.
std::string convert_frames(const Picture& picture, const Options& options, const Grid& grid,
                           const std::vector<int>& frames, Conversion& conversion);

// The picture's C64 colours and their pixels, for a picture given without
// colours: "blue (6) 1234 pixels, ...".
std::string colour_census(const Picture& picture);

// The file quorvel-sheet writes: the load address, if any, then 64 bytes a
// frame (the sprite and a zero byte).
std::vector<std::uint8_t> blocks(const Conversion& conversion, std::optional<int> address);

// Whether the blocks from `address` lie on 64-byte boundaries in one 16 KiB
// VIC bank: "" or what is wrong.
std::string address_problem(int address, std::size_t frames);

// The labels' prefix from a picture's file name: its name without folder and
// extension, every character but a letter, digit or "_" made "_", and "_"
// before a leading digit.
std::string label_prefix(const std::string& picture);

// One "NAME = VALUE" line a label (".const NAME = VALUE" for KickAssembler):
// each frame's sprite pointer and, by C64 colour, its colour and the registers'.
std::string labels_text(const Conversion& conversion, const Options& options,
                        const std::string& prefix);

}  // namespace sheet
