// quorvel-sheet's cells: each cut from the picture and made a sprite through
// the converter's own rule, by C64 colour or by palette index, with what is
// wrong in it; then the blocks and the labels.
#include "sheet/sheet.hpp"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "c64/arguments.hpp"
#include "c64/matcher.hpp"
#include "c64/pairs.hpp"
#include "c64/palettes.hpp"
#include "sprite/sprite.hpp"

namespace sheet {

namespace {

// Every kind of finding, once a cell: at its first pixel, with a count.
struct Found {
  std::int64_t count = 0;
  int x = 0, y = 0;
  void at(int px, int py) {
    if (count++ == 0) x = px, y = py;
  }
};

using companion::plural;
using picture::colour_at;
using picture::transparent;

// A pixel's alpha where the picture has one and it is neither opaque nor
// transparent; 0 otherwise.
int partial_alpha(const Picture& picture, int x, int y) {
  if (picture.bits != 0) return 0;
  std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                   static_cast<std::size_t>(x);
  int alpha = picture.rgba.get()[at * 4 + 3];
  return alpha == 255 ? 0 : alpha;
}

// The colours of a cell, row by row, read once; the distinct ones gathered,
// and the pixels neither opaque nor transparent.
std::vector<std::uint32_t> read_cell(const Picture& picture, const Grid& grid, int index,
                                     std::unordered_set<std::uint32_t>& distinct, Found& partial,
                                     int& first_alpha) {
  std::vector<std::uint32_t> colours(static_cast<std::size_t>(grid.cell_width * grid.cell_height));
  std::uint32_t* out = colours.data();
  if (picture.bits != 0) {
    // by the palette: each entry's colour, and the entries used
    std::uint32_t entries[256] = {};
    std::copy(picture.palette.begin(), picture.palette.end(), entries);
    bool used[256] = {};
    for (int y = grid.top(index); y < grid.top(index) + grid.cell_height; ++y) {
      const std::uint8_t* row =
          picture.indices.data() +
          static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
          static_cast<std::size_t>(grid.left(index));
      for (int x = 0; x < grid.cell_width; ++x) {
        used[row[x]] = true;
        *out++ = entries[row[x]];
      }
    }
    for (int entry = 0; entry < 256; ++entry)
      if (used[entry]) distinct.insert(entries[entry]);
    return colours;
  }
  std::uint32_t last = transparent;
  for (int y = grid.top(index); y < grid.top(index) + grid.cell_height; ++y)
    for (int x = grid.left(index); x < grid.left(index) + grid.cell_width; ++x) {
      std::uint32_t rgb = colour_at(picture, x, y);
      if (rgb != last && rgb != transparent && distinct.size() <= 4096) distinct.insert(rgb);
      last = rgb;
      *out++ = rgb;
      if (int alpha = partial_alpha(picture, x, y)) {
        if (partial.count == 0) first_alpha = alpha;
        partial.at(x, y);
      }
    }
  return colours;
}

std::string name_of(int number) {
  return c64::colour_phrase(number);
}

// What one cell holds, and what is wrong in it.
struct Cell {
  sprite_rule::Pixels pixels{};
  std::optional<int> own;  // by C64 colour: the sprite's own colour
  Found outside, pairs, no_colour, second, above, partial;
  int first_alpha = 0;                      // of the first partly transparent pixel
  bool drawn = false;                       // any pixel not the background
  c64::PairCount pair_count;                // pairs that differ, and which way a drawing would move
  int left_column = -1;                     // the leftmost column's colour, while it holds one
  std::int64_t lit = 0;                     // of the sprite's pixels, those not the background
  Found unlit;                              // the first of the others
  std::vector<std::uint8_t> mask;           // each pixel of the cell: 1 where drawn
  std::uint32_t strange = 0;                // the first colour of no C64 palette
  std::set<std::uint32_t> strange_colours;  // every one
  int second_colour = 0;
  std::set<int> above_indices;
};

// The registers' colour numbers as the sprite reads them, asked of every
// pixel: -2 (no colour's number) for a register not given, or not read (the
// multicolour registers of a hires sprite).
struct Registers {
  int background, multicolour1, multicolour2, own_code;
  explicit Registers(const Plan& plan)
      : background(plan.background),
        multicolour1(plan.hires ? -2 : plan.multicolour1.value_or(-2)),
        multicolour2(plan.hires ? -2 : plan.multicolour2.value_or(-2)),
        own_code(plan.hires ? 1 : 2) {}
  bool hold(int number) const {
    return number == background || number == multicolour1 || number == multicolour2;
  }
};

// A pixel's code by C64 colour; the sprite's own colour is the cell's most
// common colour besides the registers', and any other is a finding.
int colour_code(const Registers& registers, Cell& cell, int own, int number, int x, int y) {
  if (number == registers.background) return 0;
  if (number == registers.multicolour1) return 1;
  if (number == registers.multicolour2) return 3;
  if (number != own) {
    if (cell.second.count == 0) cell.second_colour = number;
    cell.second.at(x, y);
  }
  return registers.own_code;
}

// A pixel of a multicolour sprite beside the one to its left (-1 for none),
// counted as the checker counts a picture's.
void count_pair(Cell& cell, int x, int left, int value, int px, int py) {
  if (x == 0) {
    if (cell.left_column == -1) cell.left_column = value;
    if (value != cell.left_column) cell.pair_count.left_column_even = false;
    return;
  }
  if (left < 0 || left == value) return;
  if (x % 2 == 1) {
    cell.pairs.at(px - 1, py);
    ++cell.pair_count.within;
  } else {
    ++cell.pair_count.across;
  }
}

// The C64 colour of each pixel of a cell, -1 for none, and the sprite's own
// colour: the most common of the others.
std::vector<int> cell_colours(const std::vector<std::uint32_t>& colours, const Grid& grid,
                              const Plan& plan, c64::Matcher& matcher, Cell& cell) {
  std::vector<int> numbers(colours.size());
  for (std::size_t at = 0; at < colours.size(); ++at)
    numbers[at] = colours[at] == transparent ? plan.background : matcher.number(colours[at]);
  // the sprite's pixels by colour number, [16] those of none
  int counts[17] = {};
  for (int y = 0; y < std::min(grid.cell_height, sprite_rule::height); ++y)
    for (int x = 0; x < std::min(grid.cell_width, sprite_rule::width); ++x) {
      int number = numbers[static_cast<std::size_t>(y * grid.cell_width + x)];
      ++counts[number < 0 ? 16 : number];
    }
  Registers registers(plan);
  for (int number = 0; number < 16; ++number)
    if (counts[number] > 0 && !registers.hold(number) &&
        (!cell.own || counts[number] > counts[*cell.own]))
      cell.own = number;
  return numbers;
}

void cut_by_colour(const std::vector<std::uint32_t>& colours, const Grid& grid, int index,
                   const Plan& plan, c64::Matcher& matcher, Cell& cell) {
  std::vector<int> numbers = cell_colours(colours, grid, plan, matcher, cell);
  Registers registers(plan);
  int own = cell.own.value_or(-2);
  cell.mask.assign(numbers.size(), 0);
  int left_edge = grid.left(index), top_edge = grid.top(index);
  for (int y = 0; y < grid.cell_height; ++y) {
    bool pairs = !plan.hires && y < sprite_rule::height;
    for (int x = 0; x < grid.cell_width; ++x) {
      int px = left_edge + x, py = top_edge + y;
      std::size_t at = static_cast<std::size_t>(y * grid.cell_width + x);
      int number = numbers[at];
      // a pixel of no C64 colour is told of otherwise, and makes no pair
      if (pairs && x < sprite_rule::width && number >= 0)
        count_pair(cell, x, x > 0 ? numbers[at - 1] : -1, number, px, py);
      if (number == plan.background) continue;
      cell.drawn = true;
      cell.mask[at] = 1;
      if (number < 0) {
        std::uint32_t rgb = colours[static_cast<std::size_t>(y * grid.cell_width + x)];
        if (cell.no_colour.count == 0) cell.strange = rgb;
        cell.strange_colours.insert(rgb);
        cell.no_colour.at(px, py);
        continue;
      }
      if (x >= sprite_rule::width || y >= sprite_rule::height) {
        cell.outside.at(px, py);
        continue;
      }
      cell.pixels[y][x] =
          static_cast<std::uint8_t>(colour_code(registers, cell, own, number, px, py));
    }
  }
}

// By palette index, whether a pixel shows anything but the background.
bool drawn_by_index(const Plan& plan, std::uint8_t pixel) {
  return plan.hires ? ((pixel & 1) != 0) != (plan.map[0] != 0) : plan.map[pixel & 15] != 0;
}

void cut_by_index(const Picture& picture, const Grid& grid, int index, const Plan& plan,
                  Cell& cell) {
  cell.mask.reserve(static_cast<std::size_t>(grid.cell_width * grid.cell_height));
  for (int y = 0; y < grid.cell_height; ++y) {
    for (int x = 0; x < grid.cell_width; ++x) {
      int px = grid.left(index) + x, py = grid.top(index) + y;
      std::uint8_t pixel =
          picture.indices[static_cast<std::size_t>(py) * static_cast<std::size_t>(picture.width) +
                          static_cast<std::size_t>(px)];
      cell.drawn = cell.drawn || drawn_by_index(plan, pixel);
      cell.mask.push_back(drawn_by_index(plan, pixel));
      if (x >= sprite_rule::width || y >= sprite_rule::height) {
        if (drawn_by_index(plan, pixel)) cell.outside.at(px, py);
        continue;
      }
      cell.pixels[y][x] = pixel;
      if (drawn_by_index(plan, pixel))
        ++cell.lit;
      else
        cell.unlit.at(px, py);
      if (plan.hires) continue;
      if (pixel > 3) {
        cell.above.at(px, py);
        cell.above_indices.insert(pixel);
      }
      count_pair(cell, x, x > 0 ? cell.pixels[y][x - 1] : -1, pixel, px, py);
    }
  }
}

// A finding where one was found; its message, which costs, made only then.
template <typename Message>
void report(std::vector<Finding>& findings, int index, const Found& found, const char* kind,
            Message message) {
  if (found.count > 0) findings.push_back({index, found.x, found.y, kind, message()});
}

std::string list_of(const std::set<int>& indices) {
  std::string text;
  int listed = 0;
  for (int index : indices) {
    if (listed++ == 8) return text + ", ...";
    text += (text.empty() ? "" : ", ") + std::to_string(index);
  }
  return text;
}

// The palettes the colours were tried in, by name.
std::string palettes_tried() {
  std::string names;
  for (const c64::Palette& palette : c64::palettes)
    names += (names.empty() ? "" : ", ") + std::string(palette.name);
  return names;
}

// Colours of no palette: one is drawn in a colour of its own, many are what
// smoothing or scaling leaves between the C64's colours.
std::string no_colour_message(const Cell& cell) {
  std::size_t colours = cell.strange_colours.size();
  std::string pixels = plural(cell.no_colour.count, "pixel", "pixels");
  std::string tried = " (each of red, green and blue within 10 of one of the " +
                      std::to_string(c64::palettes.size()) +
                      " published palettes: " + palettes_tried() + ")";
  if (colours > 2)
    return plural(static_cast<std::int64_t>(colours), "colour", "colours") + ", " + pixels +
           ", are in no C64 palette" + tried + ", the first " + c64::hex_colour(cell.strange) +
           " here: the picture was smoothed or scaled; export it at 1x without smoothing "
           "(nearest neighbour), in the C64's colours";
  c64::Nearest near = c64::nearest(cell.strange);
  return "colour " + c64::hex_colour(cell.strange) + " is in no published C64 palette" + tried +
         ", " + pixels + "; the nearest C64 colour is " + name_of(near.number) + " (" +
         c64::hex_colour(near.palette->rgb[static_cast<std::size_t>(near.number)]) + " in " +
         std::string(near.palette->name) +
         "): draw with the C64's colours, or give --palette with a file of the palette it was "
         "drawn in";
}

void cell_findings(const Cell& cell, int index, const Plan& plan, bool spilled,
                   std::vector<Finding>& findings) {
  report(findings, index, cell.no_colour, "no-c64-colour", [&] { return no_colour_message(cell); });
  report(findings, index, cell.partial, "partly-transparent", [&] {
    return plural(cell.partial.count, "pixel is", "pixels are") + " partly transparent (alpha " +
           std::to_string(cell.first_alpha) +
           " the first here): a pixel of alpha 128 or more is taken as opaque, one below as "
           "the background, so some show and some vanish: make every pixel wholly opaque or "
           "wholly transparent (export without anti-aliasing)";
  });
  const char* registers =
      plan.hires ? "the background" : "the background and the two multicolour registers";
  // a neighbour's drawing in its own colour is told as what it is, above
  if (cell.own && !spilled)
    report(findings, index, cell.second, "second-own-colour", [&] {
      return name_of(cell.second_colour) + " is a second colour of the sprite's own, beside " +
             name_of(*cell.own) + ", its most common (" +
             plural(cell.second.count, "pixel is", "pixels are") +
             " of neither it nor a register's colour); a sprite has one colour of its own "
             "besides " +
             registers + ": draw it in " + name_of(*cell.own) +
             (plan.hires ? "" : ", or give it as a multicolour register");
    });
  bool off = c64::one_pixel_off(cell.pair_count);
  report(findings, index, cell.pairs, off ? "pairs-off-by-one" : "pairs", [&] {
    return plural(cell.pairs.count, "pair", "pairs") + " of pixels differ (the first here)" +
           c64::pairs_advice(cell.pair_count) +
           (plan.by_colour && !off ? ", or give --hires for a hires sprite" : "");
  });
  report(findings, index, cell.above, "index-above-3", [&] {
    return "palette " + std::string(cell.above_indices.size() == 1 ? "index " : "indices ") +
           list_of(cell.above_indices) + (cell.above_indices.size() == 1 ? " is" : " are") +
           " used (" + plural(cell.above.count, "pixel", "pixels") +
           "); the codes are those of indices 0 to 3, the others become the background: save "
           "the picture with these colours at indices 0 to 3, or give its colours by C64 colour";
  });
  report(findings, index, cell.outside, "outside-sprite", [&] {
    return plural(cell.outside.count, "pixel", "pixels") +
           " drawn outside the sprite's 24 by 21 at the top left of the cell: a sprite shows "
           "only those; draw inside them, or give another --cell or --origin";
  });
}

// Whether the picture's pixel shows anything but the background.
bool drawn_at(const Picture& picture, const Plan& plan, c64::Matcher& matcher, int x, int y) {
  if (!plan.by_colour)
    return drawn_by_index(
        plan,
        picture.indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                        static_cast<std::size_t>(x)]);
  std::uint32_t rgb = colour_at(picture, x, y);
  return rgb != transparent && matcher.number(rgb) != plan.background;
}

// The pieces of a mask (its pixels of value `drawn`), 4-connected: each
// pixel's piece (0 where the mask has another value) and the pixels of each
// piece, from 1.
struct Pieces {
  std::vector<int> of;
  std::vector<int> size{0};
  int largest() const { return *std::max_element(size.begin(), size.end()); }
};

Pieces pieces_of(const std::vector<std::uint8_t>& mask, int width, int height,
                 std::uint8_t drawn = 1) {
  Pieces pieces;
  pieces.of.assign(mask.size(), 0);
  std::vector<int> open;
  for (std::size_t start = 0; start < mask.size(); ++start) {
    if (mask[start] != drawn || pieces.of[start] != 0) continue;
    int piece = static_cast<int>(pieces.size.size());
    pieces.size.push_back(0);
    open.assign(1, static_cast<int>(start));
    pieces.of[start] = piece;
    while (!open.empty()) {
      int at = open.back();
      open.pop_back();
      ++pieces.size.back();
      int x = at % width, y = at / width;
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& [nx, ny] : next) {
        if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
        std::size_t n = static_cast<std::size_t>(ny * width + nx);
        if (mask[n] == drawn && pieces.of[n] == 0)
          pieces.of[n] = piece, open.push_back(ny * width + nx);
      }
    }
  }
  return pieces;
}

// A cell drawn as an artist draws, not a texture: its background is one
// region (three quarters of it at least).
bool drawn_as_a_picture(const std::vector<std::uint8_t>& mask, int width, int height) {
  std::int64_t background = std::count(mask.begin(), mask.end(), std::uint8_t{0});
  return background > 0 && pieces_of(mask, width, height, 0).largest() * 4 >= background * 3;
}

// A cell's drawn pixels, read from the picture (a cell that is not written
// was not read).
std::vector<std::uint8_t> mask_of(const Picture& picture, const Plan& plan, c64::Matcher& matcher,
                                  int index) {
  std::vector<std::uint8_t> mask;
  for (int y = 0; y < plan.grid.cell_height; ++y)
    for (int x = 0; x < plan.grid.cell_width; ++x)
      mask.push_back(
          drawn_at(picture, plan, matcher, plan.grid.left(index) + x, plan.grid.top(index) + y));
  return mask;
}

// An edge of a cell where the next cell begins at once: its first pixel, the
// step along it, its length, and the step across it into the next cell.
struct Edge {
  bool open;
  int x, y, along_x, along_y, length, across_x, across_y;
};

// A drawing that crosses into a cell from its neighbour: a small piece,
// apart from the cell's own drawing, that touches an edge where the
// neighbour's own drawing goes on, both cells drawn as pictures. No sprite
// shows that drawing whole, and this one carries a piece of it.
std::optional<Finding> spilled_into(const Picture& picture, const Plan& plan, c64::Matcher& matcher,
                                    int index, const Cell& cell) {
  const Grid& grid = plan.grid;
  int width = grid.cell_width, height = grid.cell_height;
  bool beside = grid.step_x == width, below = grid.step_y == height;
  int column = index % grid.columns, row = index / grid.columns;
  const Edge edges[] = {
      {beside && column > 0, 0, 0, 0, 1, height, -1, 0},
      {beside && column < grid.columns - 1, width - 1, 0, 0, 1, height, 1, 0},
      {below && row > 0, 0, 0, 1, 0, width, 0, -1},
      {below && row < grid.rows - 1, 0, height - 1, 1, 0, width, 0, 1},
  };
  // most cells leave their edges blank: nothing can cross them
  bool edge_drawn = false;
  for (const Edge& edge : edges)
    for (int i = 0; edge.open && !edge_drawn && i < edge.length; ++i)
      edge_drawn = cell.mask[static_cast<std::size_t>((edge.y + i * edge.along_y) * width + edge.x +
                                                      i * edge.along_x)] != 0;
  if (!edge_drawn || !drawn_as_a_picture(cell.mask, width, height)) return std::nullopt;
  Pieces pieces = pieces_of(cell.mask, width, height);
  for (const Edge& edge : edges) {
    if (!edge.open) continue;
    int neighbour = index + edge.across_x + edge.across_y * grid.columns;
    std::optional<std::vector<std::uint8_t>> theirs;
    for (int i = 0; i < edge.length; ++i) {
      int x = edge.x + i * edge.along_x, y = edge.y + i * edge.along_y;
      int size =
          pieces.size[static_cast<std::size_t>(pieces.of[static_cast<std::size_t>(y * width + x)])];
      if (size == 0 || size * 4 > pieces.largest() || size > 32) continue;
      // across the edge, a pixel of the neighbour's own drawing
      int nx = (x + edge.across_x + width) % width, ny = (y + edge.across_y + height) % height;
      if (!theirs) theirs = mask_of(picture, plan, matcher, neighbour);
      Pieces their_pieces = pieces_of(*theirs, width, height);
      int their_size = their_pieces.size[static_cast<std::size_t>(
          their_pieces.of[static_cast<std::size_t>(ny * width + nx)])];
      if (their_size == 0 || their_size != their_pieces.largest() ||
          !drawn_as_a_picture(*theirs, width, height))
        continue;
      return Finding{index, grid.left(index) + x, grid.top(index) + y, "drawing-crosses-cell-edge",
                     plural(size, "pixel", "pixels") +
                         " at the edge (the first here) are no part of this cell's drawing but of "
                         "one that goes on in cell " +
                         std::to_string(neighbour) +
                         ": a drawing crosses the edge between the two cells, and this sprite "
                         "carries a piece of it: move it whole into its own cell"};
    }
  }
  return std::nullopt;
}

// A hires sheet by palette index whose index 1, the sprite colour, covers
// most of its cells was drawn in index 0 on a background of index 1: with
// the default codes every sprite would come out inverted.
std::optional<Finding> drawn_in_index_0(const Plan& plan, const std::map<int, Cell>& cells) {
  if (plan.by_colour || !plan.hires || plan.codes_given) return std::nullopt;
  std::int64_t lit = 0, all = 0;
  const Cell* first = nullptr;
  int first_index = 0;
  for (const auto& [index, cell] : cells) {
    lit += cell.lit;
    all += sprite_rule::width * sprite_rule::height;
    if (first == nullptr && cell.unlit.count > 0) first = &cell, first_index = index;
  }
  if (first == nullptr || lit * 2 <= all) return std::nullopt;
  return Finding{first_index, first->unlit.x, first->unlit.y, "drawn-in-index-0",
                 "index 1, the sprite colour, covers " + std::to_string(lit) + " of the cells' " +
                     std::to_string(all) +
                     " sprite pixels, and index 0, the background, draws the figures (the first "
                     "here): every sprite would come out inverted; give --codes 1,0,0,0 for "
                     "index 0 in the sprite colour, or --codes 0,1,0,0 to keep them as they are"};
}

// Whether pixel `at` (a column or a row) lies in a cell of the grid along it.
bool in_a_cell(int at, int origin, int cell, int step, int cells) {
  return at >= origin && (at - origin) / step < cells && (at - origin) % step < cell;
}

// Drawing where no cell reaches: in the margin, in a gap, or in the columns
// and rows the grid leaves after its last whole cell (as a grid of the wrong
// spacing does). Drawing is a colour of the palette, or an index, that shows
// anything but the background; grid lines in another colour are no drawing.
std::optional<Finding> outside_every_cell(const Picture& picture, const Plan& plan,
                                          c64::Matcher& matcher) {
  const Grid& grid = plan.grid;
  // the columns no cell reaches: before the first, in the gaps, after the last
  std::vector<std::pair<int, int>> gaps = {{0, grid.origin_x}};
  for (int column = 0; column < grid.columns; ++column)
    gaps.emplace_back(grid.left(column) + grid.cell_width,
                      column + 1 < grid.columns ? grid.left(column + 1) : picture.width);
  const std::vector<std::pair<int, int>> whole_row = {{0, picture.width}};
  Found drawn;
  std::vector<std::pair<int, int>> pixels;
  auto mark = [&](int x, int y) {
    drawn.at(x, y);
    if (pixels.size() < 4096) pixels.emplace_back(x, y);
  };
  for (int y = 0; y < picture.height; ++y) {
    bool row_in = in_a_cell(y, grid.origin_y, grid.cell_height, grid.step_y, grid.rows);
    for (const auto& [from, to] : row_in ? gaps : whole_row)
      for (int x = from; x < to; ++x) {
        if (plan.by_colour) {
          std::uint32_t rgb = colour_at(picture, x, y);
          int number = rgb == transparent ? plan.background : matcher.number(rgb);
          if (number >= 0 && number != plan.background) mark(x, y);
        } else if (drawn_by_index(plan,
                                  picture.indices[static_cast<std::size_t>(y) *
                                                      static_cast<std::size_t>(picture.width) +
                                                  static_cast<std::size_t>(x)])) {
          mark(x, y);
        }
      }
  }
  if (drawn.count == 0) return std::nullopt;
  return Finding{-1,
                 drawn.x,
                 drawn.y,
                 "outside-every-cell",
                 plural(drawn.count, "pixel is", "pixels are") +
                     " drawn outside every cell (in the margin, a gap between cells, or the "
                     "columns and rows after the last whole cell), the first here, and no sprite "
                     "shows them: if the cells lie otherwise, give the grid as drawn (--cell, "
                     "--origin, --spacing); else erase them",
                 pixels};
}

// Where palettes that hold all the colours read one of them otherwise: which
// palette was taken, and how to take another.
std::optional<std::string> palette_note(const c64::Matcher& matcher,
                                        const std::unordered_set<std::uint32_t>& colours) {
  std::vector<c64::Disagreement> others = c64::disagreements(matcher, colours);
  if (others.empty()) return std::nullopt;
  std::string name(matcher.palette->name), readings;
  for (const c64::Disagreement& other : others)
    readings += (readings.empty() ? "" : "; ") + std::string(other.palette->name) + " reads " +
                c64::hex_colour(other.rgb) + " as " + name_of(other.its_number) + ", not " +
                name_of(other.number);
  return "the colours are read in the " + name +
         " palette, the first that holds them all, but other palettes hold them too: " + readings +
         ": give --palette with the one it was drawn in (--palette " + name + " says so)";
}

// By C64 colour or by palette index, the kind of sprite, and the codes.
MaybeProblem plan_way(const Picture& picture, const Options& options, Plan& plan) {
  plan.by_colour = options.background.has_value();
  if (!plan.by_colour && picture.bits == 0)
    return Problem{picture.format == "PNG"
                       ? "a PNG is read by its colours: give them by C64 colour (--background C, "
                         "--multicolour1 C, --multicolour2 C)"
                       : "a true-colour picture has no palette indices: give its colours by C64 "
                         "colour (--background C, --multicolour1 C, --multicolour2 C)"};
  plan.hires = options.mode == Options::Mode::hires ||
               (options.mode == Options::Mode::unset && !plan.by_colour && picture.bits == 1);
  if (plan.hires && !plan.by_colour && picture.bits != 1)
    return Problem{
        "a hires sprite by palette index takes a 1-bit picture: give the colours by C64 colour "
        "(--background C) instead"};
  if (plan.by_colour) {
    plan.background = *options.background;
    plan.multicolour1 = options.multicolour1;
    plan.multicolour2 = options.multicolour2;
    for (std::uint8_t code = 0; code < 4; ++code) plan.map[code] = code;
  } else {
    plan.codes_given = options.codes.has_value();
    std::array<std::uint8_t, 4> codes =
        options.codes.value_or(std::array<std::uint8_t, 4>{0, 1, 2, 3});
    std::copy(codes.begin(), codes.end(), plan.map);
  }
  return {};
}

}  // namespace

Grid grid_for(const Options& options, int width, int height) {
  Grid grid;
  grid.cell_width = options.cell_width;
  grid.cell_height = options.cell_height;
  grid.origin_x = options.origin_x;
  grid.origin_y = options.origin_y;
  grid.step_x = options.cell_width + options.spacing_x;
  grid.step_y = options.cell_height + options.spacing_y;
  auto whole = [](int length, int origin, int cell, int step) {
    return length - origin < cell ? 0 : (length - origin - cell) / step + 1;
  };
  grid.columns = whole(width, grid.origin_x, grid.cell_width, grid.step_x);
  grid.rows = whole(height, grid.origin_y, grid.cell_height, grid.step_y);
  if (grid.columns == 0) grid.rows = 0;
  return grid;
}

MaybeProblem make_plan(const Options& options, const Picture& picture, const std::string& shown,
                       Plan& plan) {
  if (!options.background && !options.codes && picture.bits == 0)
    return Problem{"\"" + shown +
                   "\" is read by its colours: give them by C64 colour (--background C, "
                   "--multicolour1 C, --multicolour2 C). Its colours: " +
                   colour_census(picture)};
  plan.grid = grid_for(options, picture.width, picture.height);
  if (plan.grid.count() == 0)
    return Problem{"the picture (" + std::to_string(picture.width) + " by " +
                   std::to_string(picture.height) + ") holds no whole cell of " +
                   std::to_string(options.cell_width) + " by " +
                   std::to_string(options.cell_height) + " from --origin"};
  if (MaybeProblem problem = read_frames(options.frames, plan.grid.count(), plan.frames))
    return problem;
  plan.address = options.address;
  if (plan.address)
    if (MaybeProblem problem = address_problem(*plan.address, plan.frames.size())) return problem;
  plan.syntax = options.syntax;
  // a published palette by its name, else the one read from its file
  if (!options.palette.empty())
    plan.palette = c64::palette_named(options.palette) ? c64::palette_named(options.palette)
                                                       : &plan.palette_file;
  plan.prefix = options.name.empty() ? label_prefix(options.picture) : options.name;
  return plan_way(picture, options, plan);
}

Conversion convert_frames(const Picture& picture, const Plan& plan) {
  Conversion conversion;
  conversion.hires = plan.hires;
  std::set<int> cells(plan.frames.begin(), plan.frames.end());
  std::map<int, std::vector<std::uint32_t>> colours;  // by C64 colour: each cell's, read once
  std::map<int, Cell> read;
  std::unordered_set<std::uint32_t> distinct;
  if (plan.by_colour)
    for (int index : cells)
      colours[index] = read_cell(picture, plan.grid, index, distinct, read[index].partial,
                                 read[index].first_alpha);
  c64::Matcher matcher = c64::matcher_for(distinct, plan.palette);
  if (plan.by_colour && plan.palette == nullptr)
    if (std::optional<std::string> note = palette_note(matcher, distinct))
      conversion.notes.push_back({-1, -1, -1, "palette-chosen", *note});
  std::map<int, Frame> made;
  for (int index : cells) {
    Cell& cell = read[index];
    if (plan.by_colour)
      cut_by_colour(colours[index], plan.grid, index, plan, matcher, cell);
    else
      cut_by_index(picture, plan.grid, index, plan, cell);
    std::optional<Finding> spill = spilled_into(picture, plan, matcher, index, cell);
    if (spill) conversion.findings.push_back(*spill);
    cell_findings(cell, index, plan, spill.has_value(), conversion.findings);
    if (!cell.drawn)
      conversion.notes.push_back(
          {index, -1, -1, "empty-cell",
           "nothing is drawn in it, so its block is blank and its colour the background's: "
           "leave it out of --frames if no blank frame is meant"});
    Frame frame;
    frame.cell = index;
    sprite_rule::sprite_bytes(cell.pixels, plan.hires, plan.map, frame.sprite.data());
    frame.colour = cell.own.value_or(plan.background);
    made[index] = frame;
  }
  for (int index : plan.frames) conversion.frames.push_back(made[index]);
  if (std::optional<Finding> outside = outside_every_cell(picture, plan, matcher))
    conversion.findings.push_back(*outside);
  if (std::optional<Finding> inverted = drawn_in_index_0(plan, read))
    conversion.findings.push_back(*inverted);
  return conversion;
}

std::string colour_census(const Picture& picture) {
  std::string text;
  for (const auto& [number, count] : c64::census(picture)) {
    std::string what = number == c64::census_transparent ? "transparent (the background)"
                       : number < 0                      ? "in no C64 palette"
                                    : name_of(number) + " (" + std::to_string(number) + ")";
    text += (text.empty() ? "" : ", ") + what + " " + plural(count, "pixel", "pixels");
  }
  return text;
}

std::vector<std::uint8_t> blocks(const Conversion& conversion, std::optional<int> address) {
  std::vector<std::uint8_t> bytes;
  if (address)
    bytes = {static_cast<std::uint8_t>(*address & 0xFF), static_cast<std::uint8_t>(*address >> 8)};
  for (const Frame& frame : conversion.frames) {
    bytes.insert(bytes.end(), frame.sprite.begin(), frame.sprite.end());
    bytes.push_back(0);
  }
  return bytes;
}

MaybeProblem address_problem(int address, std::size_t frames) {
  std::string hex = c64::hex_address(address);
  if (address % 64 != 0)
    return Problem{"--address " + hex +
                   " is not on a 64-byte boundary: a sprite pointer names the block of 64 bytes "
                   "at a multiple of 64 ($40)"};
  std::int64_t end = address + 64 * static_cast<std::int64_t>(frames);
  if (end > 0x10000 || address / 0x4000 != (end - 1) / 0x4000)
    return Problem{"the " + plural(static_cast<std::int64_t>(frames), "block", "blocks") +
                   " from " + hex +
                   " cross the end of the 16 KiB VIC bank they start in, and a sprite pointer "
                   "reaches only the blocks of its bank: give another --address or fewer "
                   "--frames"};
  return {};
}

std::string label_prefix(const std::string& picture) {
  std::string name = picture.substr(picture.find_last_of("/\\") + 1);
  if (std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') c = '_';
  if (name.empty()) return "sprite";
  if (std::isdigit(static_cast<unsigned char>(name[0]))) name.insert(0, "_");
  return name;
}

std::vector<std::pair<std::string, int>> labels(const Conversion& conversion, const Plan& plan) {
  std::vector<std::pair<std::string, int>> made;
  auto label = [&](const std::string& name, int value) {
    made.emplace_back(plan.prefix + name, value);
  };
  int first_block = plan.address ? *plan.address % 0x4000 / 64 : 0;
  for (std::size_t n = 0; n < conversion.frames.size(); ++n) {
    label("_" + std::to_string(n), first_block + static_cast<int>(n));
    if (plan.by_colour) label("_" + std::to_string(n) + "_colour", conversion.frames[n].colour);
  }
  if (plan.by_colour) label("_background", plan.background);
  if (plan.multicolour1) label("_multicolour1", *plan.multicolour1);
  if (plan.multicolour2) label("_multicolour2", *plan.multicolour2);
  return made;
}

std::string labels_text(const Conversion& conversion, const Plan& plan) {
  std::string text;
  for (const auto& [name, value] : labels(conversion, plan))
    text += std::string(plan.syntax->before) + name + std::string(plan.syntax->between) +
            std::to_string(value) + "\n";
  return text;
}

}  // namespace sheet
