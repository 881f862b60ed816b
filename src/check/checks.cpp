// quorvel-check's checks over what was read of a bitmap and the argument texts.
#include "check/checks.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "c64/arguments.hpp"
#include "c64/pairs.hpp"
#include "c64/palettes.hpp"
#include "companion/companion.hpp"
#include "picture/picture.hpp"
#include "services/text.hpp"

namespace check {

namespace {

using companion::plural;

const std::string making = " (README: \"Making a bitmap that converts\")";
const std::string colours_section = " (README: \"How colours become sprite bits\")";
const std::string command_line_section = " (README: \"The command line\")";
const std::string hires_section = " (README: \"Hires sprites\")";
const std::string sheets_section = " (README: \"Many sprites\")";
const std::string damaged =
    ": the file is damaged or cut short, save the picture again (README: \"Exit statuses\")";

// The pixel data the check reads at most, whatever the header claims: far
// more than any picture a sprite is made of.
constexpr std::int64_t most_pixel_bytes = 64 << 20;

const Arguments usual_arguments{"2000", "1", {"0", "1", "2", "3"}};

struct Picture {
  const Bitmap& bitmap;

  // A byte of the file, or -1 where the check holds none.
  int byte(std::int64_t at) const {
    if (at < 0) return -1;
    if (at < static_cast<std::int64_t>(bitmap.head.size()))
      return bitmap.head[static_cast<std::size_t>(at)];
    std::int64_t in_pixels = at - bitmap.pixels_at;
    if (in_pixels >= 0 && in_pixels < static_cast<std::int64_t>(bitmap.pixels.size()))
      return bitmap.pixels[static_cast<std::size_t>(in_pixels)];
    return -1;
  }
  // A header field as the converter decodes it: little-endian, signed, bytes
  // past the end of the file counting as 0.
  std::int32_t field(std::size_t offset, std::size_t size) const {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
      value |= static_cast<std::uint32_t>(std::max(0, byte(static_cast<std::int64_t>(offset + i))))
               << (8 * i);
    return static_cast<std::int32_t>(value);
  }

  std::int32_t data_offset = field(10, 4);
  std::int32_t info_size = field(14, 4);
  std::int32_t width = field(18, 4);
  std::int32_t height = field(22, 4);  // negative: stored top-down
  std::int32_t bits = field(28, 2);
  std::int32_t compression = field(30, 4);

  std::int64_t rows() const { return height < 0 ? -std::int64_t{height} : height; }
  std::int64_t stride() const { return picture::bmp::row_stride(width, bits); }
  bool multicolour() const { return bits == 4 || bits == 8; }
  bool signed_bm() const { return byte(0) == 'B' && byte(1) == 'M'; }
  // The palette index at (x, y) from the top left, read the standard way;
  // -1 where the check holds no byte.
  int index(std::int64_t x, std::int64_t y) const {
    std::int64_t row = height > 0 ? rows() - 1 - y : y;
    int value = byte(data_offset + row * stride() + x * bits / 8);
    if (value < 0) return -1;
    std::uint8_t held = static_cast<std::uint8_t>(value);
    return picture::bmp::index_in_row(&held, x % (8 / bits), bits);
  }
  // A palette entry's colour as 0xRRGGBB, where the file has that entry.
  std::optional<std::uint32_t> palette_colour(int entry) const {
    std::int64_t at = 14 + std::int64_t{info_size} + 4 * std::int64_t{entry};
    if (info_size < 12 || at + 4 > data_offset) return std::nullopt;
    int blue = byte(at), green = byte(at + 1), red = byte(at + 2);
    if (blue < 0 || green < 0 || red < 0) return std::nullopt;
    return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
  }
  // The bytes of the pixel data the converter reads: three of each of 21
  // rows for a hires sprite (never the row padding), every row otherwise.
  std::int64_t needed_end() const { return data_offset + (bits == 1 ? 83 : stride() * rows()); }
};

std::string position(std::int64_t x, std::int64_t y) {
  return std::to_string(x) + ", " + std::to_string(y);
}

std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string list(const std::vector<std::string>& items, const std::string& between = ", ") {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : between) + item;
  return text;
}

// What a code shows on a C64.
std::string code_meaning(unsigned code) {
  constexpr const char* meanings[] = {"the background", "multicolour 1", "the sprite colour",
                                      "multicolour 2"};
  return "code " + std::to_string(code) + (code <= 3 ? std::string(", ") + meanings[code] : "");
}

// What a file that is not a BMP looks like it is, by the picture formats'
// marks.
std::string file_kind(const Picture& picture) {
  std::vector<std::uint8_t> start;
  for (std::int64_t at = 0; at < 8 && picture.byte(at) >= 0; ++at)
    start.push_back(static_cast<std::uint8_t>(picture.byte(at)));
  if (start.empty()) return "empty";
  const picture::Format* format = picture::format_of(start);
  return format != nullptr ? std::string(format->described) : "not a BMP file";
}

// What the converter refuses, in its order: signature, depth, compression.
std::optional<Finding> refusal(const Picture& picture) {
  if (!picture.signed_bm())
    return Finding{Finding::error, "not-bmp",
                   "the file is " + file_kind(picture) +
                       " (it does not start with \"BM\"); Quorvel refuses it: save the "
                       "picture as an uncompressed BMP with a palette" +
                       making};
  if (picture.info_size == 12)
    return Finding{Finding::error, "os2-header",
                   "an OS/2 bitmap (a 12-byte header); Quorvel reads Windows BMP headers only: "
                   "save it as a Windows BMP (netpbm: ppmtobmp -windows)" +
                       making};
  std::int32_t bits = picture.bits;
  if (bits == 24 || bits == 32)
    return Finding{Finding::error, "no-palette",
                   "a " + std::to_string(bits) +
                       "-bit picture, without a palette; Quorvel refuses it: save it with a "
                       "palette of at most 16 colours, as a 4-bit BMP, laid on its background "
                       "colour where it is transparent" +
                       making + ", or convert it as it is, by C64 colour, with quorvel-sheet" +
                       sheets_section};
  if (bits != 1 && bits != 4 && bits != 8)
    return Finding{Finding::error, "depth",
                   "a picture of " + std::to_string(bits) +
                       " bits a pixel; Quorvel takes 1, 4 or 8: save it as a "
                       "4-bit BMP with a palette, or 1-bit for a hires sprite" +
                       making};
  if (picture.compression != 0)
    return Finding{Finding::error, "compressed",
                   "the pixels are compressed (RLE); Quorvel refuses compressed bitmaps: save "
                   "without compression (ImageMagick: -compress none; GIMP: Run-Length Encoded "
                   "off)" +
                       making};
  if (picture.data_offset < 0)
    return Finding{Finding::error, "data-before-file",
                   "the pixel data is said to start at " + std::to_string(picture.data_offset) +
                       ", before the file; Quorvel ends with status 131" + damaged};
  return std::nullopt;
}

// The size, and what to do: a sheet of sprites or of an editor's cells is
// converted with quorvel-sheet, anything else drawn again at 24 by 21.
std::string size_advice(const Picture& picture) {
  std::int64_t width = picture.width, rows = picture.rows();
  std::string size =
      "the picture is " + std::to_string(width) + " by " + std::to_string(rows) + " pixels";
  if (width > 0 && rows > 0 && width % 24 == 0 && rows % 21 == 0)
    return size + ", " + std::to_string(width / 24 * (rows / 21)) +
           " sprites of 24 by 21, but Quorvel converts one picture into one sprite, and this one "
           "into the wrong bytes: convert the sheet with quorvel-sheet, one 64-byte block a "
           "sprite" +
           sheets_section;
  if (width > 0 && rows > 0 && width % 32 == 0 && rows % 32 == 0)
    return size + ", " + plural(width / 32 * (rows / 32), "cell", "cells") +
           " of 32 by 32 as pixel editors export sprites, but Quorvel converts a 24 by 21 "
           "picture: convert it with quorvel-sheet --cell 32x32, which takes each sprite from "
           "the top left of its cell" +
           sheets_section;
  return size +
         "; a sprite is 24 by 21, and Quorvel converts a picture of another size into too many, "
         "too few or the wrong bytes: make the canvas 24 by 21" +
         making;
}

// A hires sprite of a top-down picture comes out upside down, which shows
// only where the picture does not read the same both ways.
bool reads_the_same_upside_down(const Picture& picture) {
  if (picture.bits != 1 || picture.rows() != 21 || picture.width != 24) return false;
  for (std::int64_t y = 0; y < 21; ++y)
    for (std::int64_t x = 0; x < 24; ++x)
      if (picture.index(x, y) != picture.index(x, 20 - y)) return false;
  return true;
}

void check_geometry(const Picture& picture, std::vector<Finding>& findings) {
  if (picture.width != 24 || picture.rows() != 21)
    findings.push_back({Finding::warning, "size", size_advice(picture)});
  if (picture.height < 0 && !reads_the_same_upside_down(picture))
    findings.push_back(
        {Finding::warning, "top-down",
         std::string("the rows are stored top-down (a negative height); Quorvel takes "
                     "them bottom-up, so ") +
             (picture.multicolour() ? "the sprite gets no rows at all"
                                    : "the sprite comes out upside down") +
             ": save the BMP bottom-up, as paint programs do by default" + making});
}

void check_data(const Picture& picture, std::vector<Finding>& findings) {
  std::int64_t length = picture.bitmap.length;
  std::int64_t headers = 14 + std::int64_t{picture.info_size};
  if (picture.data_offset < headers)
    findings.push_back({Finding::warning, "data-in-headers",
                        "the pixel data is said to start at byte " +
                            std::to_string(picture.data_offset) + ", inside the headers (" +
                            std::to_string(headers) +
                            " bytes), so header bytes would be taken for pixels" + damaged});
  else if (length >= 0 && picture.data_offset >= length)
    findings.push_back({Finding::warning, "data-past-end",
                        "the pixel data is said to start at byte " +
                            std::to_string(picture.data_offset) + ", past the end of the file (" +
                            std::to_string(length) +
                            " bytes); Quorvel would repeat one byte for every pixel" + damaged});
  else if (length >= 0 && picture.needed_end() > length)
    findings.push_back(
        {Finding::warning, "file-cut-short",
         "the file ends inside the pixel data, after " + std::to_string(length) + " of the " +
             std::to_string(picture.needed_end()) +
             " bytes the picture needs; Quorvel repeats the last byte read for the missing "
             "pixels" +
             damaged});
}

// What a pass over the stored pixels finds, in proportion to the bytes held,
// whatever the header claims.
struct Survey {
  std::map<int, std::int64_t> used;  // palette index: pixels
  std::int64_t above_count = 0, pair_count = 0, odd_pair_count = 0;
  std::string first_above, first_pair;
  int above_x = 0, above_y = 0, pair_x = 0, pair_y = 0;
  bool first_column_even = true;  // the leftmost column holds one index
  int first_column_index = -1;
};

Survey survey(const Picture& picture) {
  Survey found;
  std::int64_t held =
      static_cast<std::int64_t>(picture.bitmap.pixels.size()) +
      std::max<std::int64_t>(
          0, static_cast<std::int64_t>(picture.bitmap.head.size()) - picture.data_offset);
  std::int64_t stored_rows = std::min(picture.rows(), held / picture.stride() + 1);
  std::int64_t width = std::min<std::int64_t>(picture.width, held * 8 / picture.bits + 8);
  std::int64_t first_row = picture.height > 0 ? picture.rows() - stored_rows : 0;
  for (std::int64_t y = first_row; y < first_row + stored_rows; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      int index = picture.index(x, y);
      if (index < 0) continue;
      ++found.used[index];
      if (x == 0 && found.first_column_index >= 0 && index != found.first_column_index)
        found.first_column_even = false;
      if (x == 0) found.first_column_index = index;
      if (index > 3 && found.above_count++ == 0) {
        found.first_above = position(x, y);
        found.above_x = static_cast<int>(x), found.above_y = static_cast<int>(y);
      }
      int left = x > 0 ? picture.index(x - 1, y) : -1;
      if (left < 0 || left == index) continue;
      if (x % 2 == 1 && found.pair_count++ == 0) {
        found.first_pair = position(x - 1, y);
        found.pair_x = static_cast<int>(x - 1), found.pair_y = static_cast<int>(y);
      }
      if (x % 2 == 0) ++found.odd_pair_count;
    }
  }
  return found;
}

std::vector<int> above_3(const Survey& found) {
  std::vector<int> indices;
  for (const auto& [index, count] : found.used)
    if (index > 3) indices.push_back(index);
  return indices;
}

// The published C64 palette whose colour n every used entry n of 0 to 15
// has, if any.
const c64::Palette* c64_palette(const Picture& picture, const Survey& found) {
  for (const c64::Palette& palette : c64::palettes) {
    bool all = !found.used.empty();
    for (const auto& [index, count] : found.used) {
      if (index > 15) continue;
      std::optional<std::uint32_t> colour = picture.palette_colour(index);
      all = all && colour &&
            c64::within_tolerance(*colour, palette.rgb[static_cast<std::size_t>(index)]);
    }
    if (all) return &palette;
  }
  return nullptr;
}

unsigned code_for(const Arguments& given, int index) {
  return colour_number(cut_text(given.colours[index & 3]));
}

// A picture in a C64 palette may show its background in any C64 colour: the
// used entries above 3 all of one colour (of an 8-bit index, its low four
// bits, as the converter takes it), and code 0 for nothing else. That colour
// becomes the background, as the picture shows. Its entries, or none.
std::vector<int> background_entries(const Picture& picture, const Survey& found,
                                    const c64::Palette* palette, const Arguments& given) {
  std::vector<int> above = above_3(found);
  if (palette == nullptr || above.empty()) return {};
  int colour = above.front() & 15;
  for (int index : above) {
    std::optional<std::uint32_t> rgb = picture.palette_colour(index);
    if ((index & 15) != colour || colour <= 3 || !rgb ||
        !c64::within_tolerance(*rgb, palette->rgb[static_cast<std::size_t>(colour)]))
      return {};
  }
  for (const auto& [index, count] : found.used)
    if ((index & 15) <= 3 && code_for(given, index) == 0) return {};
  return above;
}

// Entries above 3 moved to the free indices 0 to 3, in order, where the
// picture has at most four colours and the file holds the entries to swap.
std::vector<std::pair<int, int>> moves_to_first_four(const Picture& picture, const Survey& found) {
  std::vector<int> above = above_3(found);
  if (above.empty() || found.used.size() > 4) return {};
  std::vector<std::pair<int, int>> moves;
  int free = 0;
  for (int index : above) {
    while (found.used.count(free)) ++free;
    if (!picture.palette_colour(index) || !picture.palette_colour(free)) return {};
    moves.push_back({index, free++});
  }
  return moves;
}

Finding above_3_finding(const Picture& picture, const Survey& found, const c64::Palette* palette,
                        const Arguments& given) {
  std::vector<int> above = above_3(found);
  std::vector<std::string> numbers, names;
  for (int index : above) {
    if (numbers.size() == 8) {
      numbers.push_back("...");
      break;
    }
    numbers.push_back(std::to_string(index));
  }
  if (palette != nullptr)
    for (int index : above)
      if (index <= 15)
        names.push_back("entry " + std::to_string(index) + ", " + c64::colour_phrase(index));
  std::string message =
      "palette " + std::string(above.size() == 1 ? "index " : "indices ") + list(numbers) +
      (above.size() == 1 ? " is" : " are") + " used (" +
      plural(found.above_count, "pixel", "pixels") + ", the first at " + found.first_above + ")" +
      (names.empty() ? "" : ": " + list(names, "; ")) + "; Quorvel reads indices 0 to 3" +
      (picture.bits == 8 ? " (of an 8-bit index its low four bits: 17 acts as 1)" : "") +
      ", the others become the background: ";
  std::vector<std::pair<int, int>> moves = moves_to_first_four(picture, found);
  if (moves.empty())
    return {Finding::warning, "index-above-3",
            message + "save the picture with these colours at indices 0 to 3" + making};
  std::vector<std::string> steps;
  for (const auto& [from, to] : moves)
    steps.push_back(std::to_string(from) + " to " + std::to_string(to) + " (colour" +
                    std::to_string(to + 1) + " " + quoted(cut_text(given.colours[to])) + ": " +
                    code_meaning(code_for(given, to)) + ")");
  Fix fix;
  fix.moves = moves;
  return {Finding::warning, "index-above-3",
          message +
              "move each to an index of 0 to 3 that the picture leaves free, with its "
              "palette entry: " +
              list(steps) + making,
          fix};
}

Finding background_note(const std::vector<int>& entries) {
  std::vector<std::string> numbers;
  for (int index : entries) numbers.push_back(std::to_string(index));
  bool one = entries.size() == 1;
  return {Finding::note, "background-entries",
          std::string(one ? "entry " : "entries ") + list(numbers) + ", " +
              c64::colour_phrase(entries.front()) + (one ? ", becomes" : ", become") +
              " the background (code 0, $D021), as the picture shows it"};
}

Finding pairs_finding(const Survey& found, const Arguments* given) {
  std::string pairs = plural(found.pair_count, "pair", "pairs") +
                      " of pixels differ (the first at " + found.first_pair + ")";
  bool hires_codes = given != nullptr;
  for (int i = 0; i < 4 && given != nullptr; ++i)
    hires_codes = hires_codes && code_for(*given, i) <= 1;
  if (hires_codes && found.used.size() <= 2)
    return {Finding::warning, "hires-meant",
            pairs +
                ", and the picture has two colours and the arguments give only codes 0 and "
                "1, as a hires sprite has: it is drawn one bitmap pixel a sprite pixel, so "
                "save it as a 1-bit BMP, which Quorvel makes a hires sprite" +
                hires_section};
  c64::PairCount counted{found.pair_count, found.odd_pair_count, found.first_column_even};
  return {Finding::warning, c64::one_pixel_off(counted) ? "pairs-off-by-one" : "pairs",
          pairs + c64::pairs_advice(counted) + colours_section};
}

void check_pixels(const Picture& picture, const Arguments* given, std::vector<Finding>& findings) {
  if (!picture.multicolour() || picture.width <= 0) return;
  Survey found = survey(picture);
  const Arguments& arguments = given != nullptr ? *given : usual_arguments;
  const c64::Palette* palette = c64_palette(picture, found);
  std::vector<int> background = background_entries(picture, found, palette, arguments);
  if (!background.empty()) {
    findings.push_back(background_note(background));
  } else if (found.above_count > 0) {
    findings.push_back(above_3_finding(picture, found, palette, arguments));
    findings.back().x = found.above_x, findings.back().y = found.above_y;
  }
  if (found.pair_count > 0) {
    findings.push_back(pairs_finding(found, given));
    findings.back().x = found.pair_x, findings.back().y = found.pair_y;
  }
}

std::vector<Finding> check_picture(const Picture& picture, const Arguments* given) {
  if (std::optional<Finding> refused = refusal(picture)) return {*refused};
  std::vector<Finding> findings;
  if (picture.byte(53) < 0) {
    findings.push_back({Finding::warning, "header-cut-short",
                        "the file ends after " + std::to_string(picture.bitmap.head.size()) +
                            " bytes, inside the BMP header (54 bytes)" + damaged});
    return findings;
  }
  check_geometry(picture, findings);
  check_data(picture, findings);
  check_pixels(picture, given, findings);
  return findings;
}

// Arguments: each as the converter reads it, in its first 255 characters.

Fix argument_fix(int which, const std::string& text) {
  Fix fix;
  if (which == 0) fix.startaddress = text;
  if (which == 1) fix.add_zero_byte = text;
  if (which >= 2) fix.colours[static_cast<std::size_t>(which - 2)] = text;
  return fix;
}

std::optional<Finding> cut_finding(int which, const std::string& name, const std::string& text) {
  if (text.size() <= max_text_length) return std::nullopt;
  return Finding{Finding::warning, "argument-too-long",
                 name + " is " + std::to_string(text.size()) +
                     " characters long, and Quorvel reads only its first 255 (file names are "
                     "used whole): give it in 255 characters or fewer" +
                     command_line_section,
                 argument_fix(which, cut_text(text))};
}

// A colour argument that silently becomes another code.
std::optional<Finding> colour_finding(int number, const std::string& text, bool hires) {
  std::string name = "colour" + std::to_string(number) + " is " + quoted(text);
  std::string codes = hires ? ": give 0 (the background) or 1 (the sprite colour)"
                            : ": give 0 (the background), 1 (multicolour 1), 2 (the sprite "
                              "colour) or 3 (multicolour 2)";
  Fix as_taken = argument_fix(number + 1, "0");
  ColourReading reading = read_colour(text);
  switch (reading.kind) {
    case ColourReading::negative:
      if (reading.value == 0) break;  // -0 is 0
      return Finding{
          Finding::warning, "colour-negative",
          name + ", a negative number, which Quorvel takes as 0" + codes + colours_section,
          as_taken};
    case ColourReading::not_a_number:
    case ColourReading::too_large:
      return Finding{Finding::warning, "colour-not-a-number",
                     name + ", which is not a number Quorvel reads, so it takes it as 0" + codes +
                         colours_section,
                     as_taken};
    case ColourReading::number:
      break;
  }
  unsigned code = colour_number(text);
  if (code <= 3 && reading.value > 255)
    return Finding{Finding::warning, "colour-modulo-256",
                   name + ", which Quorvel takes modulo 256, as code " + std::to_string(code) +
                       codes + colours_section,
                   argument_fix(number + 1, std::to_string(code))};
  if (code <= 3) return std::nullopt;
  return Finding{Finding::warning, "colour-above-3",
                 name + ", which Quorvel takes as code " + std::to_string(code) +
                     "; a code above 3 spills its bits into the neighbouring "
                     "pixels" +
                     codes + colours_section};
}

// Hires draws index 1 in the sprite colour, or index 0 when colour1 is not 0.
std::optional<Finding> hires_rule(const Arguments& given) {
  bool background0 = code_for(given, 0) == 0;
  bool background1 = code_for(given, 1) == 0;
  if (background0 != background1) return std::nullopt;
  std::string said = background0 ? "both 0, the background" : "both not 0, the sprite colour";
  std::string shown = background0 ? "index 1" : "index 0";
  Fix fix;
  fix.colours[0] = "0";
  fix.colours[1] = "1";
  return Finding{Finding::warning, "hires-colours",
                 "colour1 and colour2 are " + said +
                     ", but a hires sprite always shows one of the two indices in the sprite "
                     "colour (here " +
                     shown +
                     "): give 0 1 for index 1 in the sprite colour, or 1 0 for index 0 (README: "
                     "\"Hires sprites\")",
                 fix};
}

// Codes 2 and 3 are a multicolour sprite's own: given for a 1-bit picture,
// a multicolour sprite was meant, and a hires one is made.
std::optional<Finding> multicolour_meant(const Arguments& given) {
  for (int i = 0; i < 2; ++i) {
    unsigned code = code_for(given, i);
    if (code != 2 && code != 3) continue;
    return Finding{Finding::warning, "multicolour-meant",
                   "colour" + std::to_string(i + 1) + " is " + quoted(cut_text(given.colours[i])) +
                       ", " + code_meaning(code) +
                       " of a multicolour sprite, but a 1-bit picture becomes a hires sprite, in "
                       "which any code but 0 shows the sprite colour: for a multicolour sprite "
                       "save the picture as a 4-bit BMP" +
                       making + "; for a hires one give 0 and 1"};
  }
  return std::nullopt;
}

std::optional<Finding> address_finding(const std::string& text);

// A changed start address is a fix only where it needs no other.
std::optional<Fix> address_fix(const std::string& text) {
  if (address_finding(text)) return std::nullopt;
  return argument_fix(0, text);
}

std::string without_marker(const std::string& text) {
  for (std::string_view marker : {"$", "0x", "0X"})
    if (text.starts_with(marker)) return text.substr(marker.size());
  return text;
}

std::optional<Finding> address_finding(const std::string& text) {
  if (is_no_address(text)) return std::nullopt;
  int value = c64::load_address(text).value_or(0);
  std::string written = c64::hex_address(value);
  std::string rest = without_marker(text);
  std::string what = "the start address " + quoted(text);
  std::string give = ": give the address in hex, such as 2000 or $c000, or none for no address" +
                     command_line_section;
  if (rest.empty())
    return Finding{Finding::warning, "address-empty",
                   what + " is empty, which Quorvel writes as $0000" + give};
  std::string read = rest.substr(0, 4);
  auto bad = std::find_if(read.begin(), read.end(), [](char c) { return hex_digit_value(c) < 0; });
  if (bad != read.end())
    return Finding{Finding::warning, "address-not-hex",
                   what + " holds " + quoted(std::string_view(&*bad, 1)) +
                       ", not a hex digit, which counts as 0: Quorvel writes " + written + give,
                   address_fix(written.substr(1))};
  bool decimal = rest.size() == text.size() && rest.size() >= 5 &&
                 std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (decimal) {
    std::optional<Fix> fix;
    if (rest.size() <= 5 && std::stoi(rest) <= 0xFFFF)
      fix = address_fix(c64::hex_address(std::stoi(rest)).substr(1));
    return Finding{Finding::warning, "address-decimal",
                   what + " looks decimal, but Quorvel reads hex and writes " + written + give,
                   fix};
  }
  if (value < 0x200) {
    bool lost_variable = rest.size() == text.size() && text.size() == 3;
    return Finding{Finding::warning, "address-low",
                   what + " gives " + written +
                       ", in the zero page and the stack ($0000 to $01FF), never a place for "
                       "sprite data" +
                       (lost_variable ? "; if you wrote $2000, your shell or make took $2 for a "
                                        "variable: write '$2000' in a shell and $$2000 in a "
                                        "Makefile, or 2000 in both"
                                      : "") +
                       give};
  }
  if (rest.size() > 4)
    return Finding{Finding::warning, "address-too-long",
                   what + " has " + std::to_string(rest.size()) +
                       " characters after any $ or 0x, but a C64 address has at most four hex "
                       "digits and Quorvel reads only the first four: it writes " +
                       written + give,
                   address_fix(text.substr(0, text.size() - rest.size() + 4))};
  return std::nullopt;
}

std::optional<Finding> zero_byte_finding(const std::string& text) {
  if (text == "0" || text == "1") return std::nullopt;
  return Finding{Finding::warning, "zero-byte",
                 "add_zero_byte is " + quoted(text) +
                     "; only 1 adds the zero byte, anything else leaves it out: give 1 or 0" +
                     command_line_section,
                 argument_fix(1, "0")};
}

void check_arguments(const Picture& picture, const Arguments& given,
                     std::vector<Finding>& findings) {
  bool hires = picture.bits == 1 && !refusal(picture);
  auto add = [&findings](std::optional<Finding> found) {
    if (found) findings.push_back(*found);
  };
  const std::string* texts[] = {&given.startaddress, &given.add_zero_byte, &given.colours[0],
                                &given.colours[1],   &given.colours[2],    &given.colours[3]};
  const std::string names[] = {"the start address", "add_zero_byte", "colour1",
                               "colour2",           "colour3",       "colour4"};
  for (int i = 0; i < 6; ++i) add(cut_finding(i, names[i], *texts[i]));
  Arguments read{cut_text(given.startaddress),
                 cut_text(given.add_zero_byte),
                 {cut_text(given.colours[0]), cut_text(given.colours[1]),
                  cut_text(given.colours[2]), cut_text(given.colours[3])}};
  add(address_finding(read.startaddress));
  add(zero_byte_finding(read.add_zero_byte));
  for (int i = 0; i < 4; ++i) add(colour_finding(i + 1, read.colours[i], hires));
  if (!hires) return;
  add(hires_rule(read));
  add(multicolour_meant(read));
  if (code_for(read, 2) != 0 || code_for(read, 3) != 0) {
    Fix fix;
    fix.colours[2] = fix.colours[3] = "0";
    findings.push_back({Finding::warning, "hires-colour3-4",
                        "a 1-bit picture becomes a hires sprite, which has no use for colour3 "
                        "and colour4 (" +
                            quoted(read.colours[2]) + ", " + quoted(read.colours[3]) +
                            "): for a multicolour sprite save the picture as a 4-bit BMP; for a "
                            "hires one give 0 for both" +
                            making,
                        fix});
  }
}

}  // namespace

Bitmap whole_file(const std::vector<std::uint8_t>& file) {
  return Bitmap{file, 0, {}, static_cast<std::int64_t>(file.size())};
}

Span pixel_span(const std::vector<std::uint8_t>& head) {
  Bitmap headers{head, 0, {}, -1};
  Picture picture{headers};
  if (refusal(picture)) return {};
  std::int64_t first = picture.data_offset;
  std::int64_t bytes = std::max<std::int64_t>(0, picture.needed_end() - first);
  return {first, first + std::min(bytes, most_pixel_bytes)};
}

std::string sprite_made(const Bitmap& bitmap) {
  Picture picture{bitmap};
  if (refusal(picture)) return "";
  return picture.multicolour() ? "multicolour" : "hires";
}

namespace {

// The fix as data: the arguments to give instead, and the palette moves.
std::string fix_json(const std::optional<Fix>& fix) {
  if (!fix) return "null";
  auto text_or_null = [](const std::optional<std::string>& text) {
    return text ? companion::json_text(*text) : std::string("null");
  };
  std::string colours, moves;
  for (const std::optional<std::string>& colour : fix->colours)
    colours += (colours.empty() ? "" : ", ") + text_or_null(colour);
  for (const auto& [from, to] : fix->moves)
    moves += (moves.empty() ? "[" : ", [") + std::to_string(from) + ", " + std::to_string(to) + "]";
  return "{\"startaddress\": " + text_or_null(fix->startaddress) +
         ", \"add_zero_byte\": " + text_or_null(fix->add_zero_byte) + ", \"colours\": [" + colours +
         "], \"moves\": [" + moves + "]}";
}

}  // namespace

std::vector<companion::Finding> records(const std::vector<Finding>& findings) {
  constexpr const char* severities[] = {"error", "warning", "note"};
  std::vector<companion::Finding> made;
  for (const Finding& finding : findings)
    made.push_back({severities[finding.severity], finding.kind, finding.message, std::nullopt,
                    finding.x, finding.y, fix_json(finding.fix), "", "", "", ""});
  return made;
}

std::vector<Finding> check_bitmap(const Bitmap& bitmap, const Arguments* given) {
  Picture picture{bitmap};
  std::vector<Finding> findings = check_picture(picture, given);
  if (given != nullptr) check_arguments(picture, *given, findings);
  return findings;
}

}  // namespace check
