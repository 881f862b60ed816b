// quorvel-picture: one JSON document about a picture for the page.
//   quorvel-picture                        the C64's colours, as the page shows them
//   quorvel-picture PICTURE [PIXELS]       the picture's format, size, palette with each
//                                          entry's C64 colour, pixels by index or by C64
//                                          colour; PIXELS gets an indexed picture's
//                                          indices, a byte a pixel, rows top first
//   quorvel-picture --move F,T ... BMP COPY  a copy with palette entries moved, as the
//                                          checker's fix moves them
#include "page/describe.hpp"

#include <array>
#include <charconv>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "c64/arguments.hpp"
#include "c64/matcher.hpp"
#include "c64/palettes.hpp"
#include "companion/companion.hpp"
#include "services/exit_status.hpp"
#include "sheet/proposal.hpp"

namespace {

using companion::json_text;

// Far more than a 4096 by 4096 picture takes in any format the reader knows.
constexpr std::size_t most_bytes = std::size_t{160} << 20;

bool say_json(const std::string& members) {
  return companion::say(platform::standard_output(), "{" + members + "\n}\n");
}

// The sixteen colours by number, named and in the palette the page draws
// with, and the published palettes' names, in the order they are tried.
std::string c64_colours() {
  std::string items, names;
  for (std::size_t n = 0; n < c64::colour_names.size(); ++n)
    items += std::string(n == 0 ? "" : ", ") + "[" + json_text(c64::colour_names[n]) + ", " +
             json_text(c64::hex_colour(c64::palettes[0].rgb[n])) + "]";
  for (const c64::Palette& palette : c64::palettes)
    names += std::string(names.empty() ? "" : ", ") + json_text(palette.name);
  return "\n  \"colours\": [" + items + "],\n  \"palettes\": [" + names + "]";
}

template <typename Pairs>
std::string pairs_json(const Pairs& pairs) {
  std::string items;
  for (const auto& [key, count] : pairs)
    items += std::string(items.empty() ? "" : ", ") + "[" + std::to_string(key) + ", " +
             std::to_string(count) + "]";
  return "[" + items + "]";
}

// The palette with each entry's C64 colour: the used entries matched as one
// picture's colours, the others each by itself.
std::string palette_json(const picture::Picture& picture, const std::map<int, std::int64_t>& used) {
  std::unordered_set<std::uint32_t> distinct;
  for (const auto& [index, count] : used)
    if (static_cast<std::size_t>(index) < picture.palette.size())
      distinct.insert(picture.palette[static_cast<std::size_t>(index)]);
  c64::Matcher together = c64::matcher_for(distinct), alone;
  std::string colours, numbers;
  for (std::size_t index = 0; index < picture.palette.size(); ++index) {
    std::uint32_t rgb = picture.palette[index];
    int number = used.count(static_cast<int>(index)) ? together.number(rgb) : alone.number(rgb);
    colours += std::string(index == 0 ? "" : ", ") + json_text(c64::hex_colour(rgb));
    numbers += std::string(index == 0 ? "" : ", ") + std::to_string(number);
  }
  return ",\n  \"palette\": [" + colours + "],\n  \"c64\": [" + numbers + "]";
}

// The grid a sheet seems drawn on, as quorvel-sheet's options write it, or null.
std::string grid_json(const std::optional<sheet::GridProposal>& grid) {
  if (!grid) return "null";
  auto pair = [](int one, int other, const char* between) {
    return json_text(std::to_string(one) + between + std::to_string(other));
  };
  return "{\"cell\": " + pair(grid->cell_width, grid->cell_height, "x") +
         ", \"origin\": " + pair(grid->origin_x, grid->origin_y, ",") +
         ", \"spacing\": " + pair(grid->spacing_x, grid->spacing_y, ",") + "}";
}

int describe(const std::string& name, const std::string& pixels) {
  std::vector<std::uint8_t> bytes;
  std::string refusal;
  if (std::uint16_t error = companion::read_whole_file(name, bytes, most_bytes))
    refusal = companion::cannot_reason(error);
  picture::Shape shape = picture::picture_shape(bytes);
  if (refusal.empty()) refusal = shape.refusal;
  picture::Picture picture;
  if (refusal.empty()) refusal = picture::decode_picture(bytes, picture);
  std::string members =
      "\n  \"format\": " + (shape.format.empty() ? "null" : json_text(shape.format)) +
      ",\n  \"refusal\": " + (refusal.empty() ? "null" : json_text(refusal)) +
      ",\n  \"width\": " + std::to_string(shape.width) +
      ",\n  \"height\": " + std::to_string(shape.height) +
      ",\n  \"depth\": " + std::to_string(shape.depth);
  if (!refusal.empty()) return say_json(members) ? 0 : 1;
  members += ",\n  \"bits\": " + std::to_string(picture.bits);
  if (picture.bits != 0) {
    std::array<std::int64_t, 256> pixels_of{};
    for (std::uint8_t index : picture.indices) ++pixels_of[index];
    std::map<int, std::int64_t> used;
    for (int index = 0; index < 256; ++index)
      if (pixels_of[static_cast<std::size_t>(index)] > 0)
        used[index] = pixels_of[static_cast<std::size_t>(index)];
    members += palette_json(picture, used) + ",\n  \"counts\": " + pairs_json(used);
  } else {
    members += ",\n  \"census\": " + pairs_json(c64::census(picture));
  }
  members += ",\n  \"grid\": " + grid_json(sheet::propose_grid(picture));
  // The pixels of what the page draws pixel by pixel: an indexed picture up to 512 by 512.
  bool drawn = picture.bits != 0 && picture.width <= 512 && picture.height <= 512;
  if (!pixels.empty() && drawn && companion::write_whole_file(pixels, picture.indices) != 0)
    return 1;
  return say_json(members) ? 0 : 1;
}

int move_entries(const std::vector<std::pair<int, int>>& moves, const std::string& name,
                 const std::string& copy) {
  std::vector<std::uint8_t> bytes;
  std::optional<std::vector<std::uint8_t>> moved;
  if (companion::read_whole_file(name, bytes, most_bytes) == 0)
    moved = picture::bmp::with_entries_moved(bytes, moves);
  bool written = moved && companion::write_whole_file(copy, *moved) == 0;
  return say_json(std::string("\n  \"written\": ") + (written ? "true" : "false")) && written ? 0
                                                                                              : 1;
}

}  // namespace

int describe_picture(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) return say_json(c64_colours()) ? 0 : 1;
  std::vector<std::pair<int, int>> moves;
  while (words.size() > 2 && words[0] == "--move") {
    int from = 0, to = 0;
    const char* text = words[1].c_str();
    const char* end = text + words[1].size();
    auto [comma, read] = std::from_chars(text, end, from);
    if (read != std::errc() || comma == end || *comma != ',' ||
        std::from_chars(comma + 1, end, to).ptr != end)
      return 2;
    moves.emplace_back(from, to);
    words.erase(words.begin(), words.begin() + 2);
  }
  if (!moves.empty() && words.size() == 2) return move_entries(moves, words[0], words[1]);
  if (words.size() > 2) return 2;
  return describe(words[0], words.size() == 2 ? words[1] : "");
}
