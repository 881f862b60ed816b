// A sprite project: a game's whole set of sprites, from the sheets of one
// project file, laid out in one VIC bank, with the labels, the tables and the
// dependency file the game's build needs beside the blocks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "companion/companion.hpp"
#include "sheet/sheet.hpp"

namespace sheet {

// How one assembler (or C) writes a label and a table of bytes:
// LABEL_BEFORE NAME LABEL_BETWEEN VALUE, and
// TABLE_BEFORE NAME TABLE_BETWEEN A, B, ... TABLE_AFTER.
struct ProjectSyntax {
  std::string_view name;
  std::string_view label_before, label_between;
  std::string_view table_before, table_between, table_after;
};
inline constexpr ProjectSyntax project_syntaxes[] = {
    {"acme", "", " = ", "", " !byte ", ""},
    {"64tass", "", " = ", "", " .byte ", ""},
    {"ca65", "", " = ", "", ": .byte ", ""},
    {"kickass", ".const ", " = ", "", ": .byte ", ""},
    {"c", "#define ", " ", "static const unsigned char ", "[] = {", "};"},
};

// An animation (its frames one after another) or an object (sprites shown
// side by side as one, `columns` by `rows`, the cells row by row).
struct SpriteSet {
  std::string name;
  bool object = false;
  std::string cells;  // as --frames
  int columns = 1, rows = 1;
  Options::Mode mode = Options::Mode::unset;  // unset: the sheet's
  std::optional<int> address;                 // pinned; else after the set before it
  int line = 0;                               // in the project file, for messages
  // Made from the sheet:
  std::vector<int> frames;
  bool hires = false;
  bool by_colour = false;
};

// "animation ship", "object boss": a set as messages name it.
inline std::string set_title(const SpriteSet& set) {
  return (set.object ? "object " : "animation ") + set.name;
}

struct ProjectSheet {
  Options options;  // the picture (as opened), grid, mode, codes, palette and registers
  std::string shown;
  int line = 0;
  std::vector<SpriteSet> sets;
};

struct Project {
  std::string file;    // as given
  std::string shown;   // as messages show it; empty: as given
  std::string folder;  // of the project file, "" or ending in a separator
  // As opened (the folder before names written relative to it); "" when not asked.
  std::string output, labels, tables, dependencies;
  std::optional<int> address;
  const ProjectSyntax* syntax = &project_syntaxes[0];
  std::string name;  // the prefix of the project-wide labels
  std::string palette;
  std::optional<int> background, multicolour1, multicolour2;
  std::vector<ProjectSheet> sheets;
};

// Reads the project file's text into `project` (`project.file` set); a
// problem says where, "FILE, line N: ...".
MaybeProblem read_project(std::string_view text, Project& project);

// The first block of each set, in the sets' order, sheet by sheet; a pinned
// set that lies on another, or blocks that leave the VIC bank, is a problem.
MaybeProblem lay_out(const Project& project, std::vector<int>& first_blocks);

// What the project made: each set's frames, in the sets' order.
struct Made {
  const SpriteSet* set = nullptr;
  std::vector<Frame> frames;
  int first_block = 0;  // from the project's address (0 without one)
};

// The blocks file: the load address, if any, then every block from it, the
// blocks between sets zero.
std::vector<std::uint8_t> project_blocks(const Project& project, const std::vector<Made>& made);
// The labels, in order, and as the project's syntax writes them.
std::vector<std::pair<std::string, int>> project_labels(const Project& project,
                                                        const std::vector<Made>& made);
// Each table: its name and its bytes.
struct Table {
  std::string name;
  std::vector<int> values;
};
// Per animation its pointers and (by C64 colour) colours; per object those,
// and each sprite's x and y from its top left.
std::vector<Table> project_tables(const std::vector<Made>& made);
// Each label and table name once, in any letter case.
MaybeProblem names_once(const Project& project, const std::vector<Made>& made);
std::string project_labels_text(const Project& project, const std::vector<Made>& made);
// The tables of pointers, colours and offsets, as source in the project's syntax.
std::string project_tables_text(const Project& project, const std::vector<Made>& made);
// The rule make and ninja read: every output depends on the project file,
// each picture and a palette file, if one is read.
std::string dependency_text(const Project& project);

// The whole run of a project file: 0 written, 1 findings (nothing written), 2 cannot.
int run_project(const std::string& file, companion::Format format);

}  // namespace sheet
