// quorvel-check's checks over a bitmap's bytes and the argument texts.
#include "check/checks.hpp"

#include <algorithm>
#include <optional>
#include <set>

#include "driver/driver.hpp"
#include "output/output.hpp"
#include "services/text.hpp"

namespace check {

namespace {

const std::string making = " (README: \"Making a bitmap that converts\")";
const std::string colours_section = " (README: \"How colours become sprite bits\")";
const std::string command_line_section = " (README: \"The command line\")";
const std::string damaged =
    ": the file is damaged or cut short, save the picture again (README: \"Exit statuses\")";

// A header field as the converter decodes it: little-endian, signed, bytes
// past the end of the file counting as 0.
std::int32_t field(const std::vector<std::uint8_t>& file, std::size_t offset, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i)
    if (offset + i < file.size()) value |= std::uint32_t{file[offset + i]} << (8 * i);
  if (size == 2) return static_cast<std::int16_t>(value);
  return static_cast<std::int32_t>(value);
}

struct Picture {
  const std::vector<std::uint8_t>& file;
  std::int32_t data_offset = field(file, 10, 4);
  std::int32_t info_size = field(file, 14, 4);
  std::int32_t width = field(file, 18, 4);
  std::int32_t height = field(file, 22, 4);  // negative: stored top-down
  std::int32_t bits = static_cast<std::uint16_t>(field(file, 28, 2));
  std::int32_t compression = field(file, 30, 4);

  std::int64_t rows() const { return height < 0 ? -std::int64_t{height} : height; }
  std::int64_t stride() const { return (std::int64_t{width} * bits + 31) / 32 * 4; }
  bool multicolour() const { return bits == 4 || bits == 8; }
  // The palette index at (x, y) from the top left, read the standard way;
  // -1 past the end of the file.
  int index(std::int64_t x, std::int64_t y) const {
    std::int64_t row = height > 0 ? rows() - 1 - y : y;
    std::int64_t at = data_offset + row * stride() + x * bits / 8;
    if (at < 0 || at >= static_cast<std::int64_t>(file.size())) return -1;
    int shift = 8 - bits - static_cast<int>(x * bits % 8);
    return file[static_cast<std::size_t>(at)] >> shift & ((1 << bits) - 1);
  }
};

std::string position(std::int64_t x, std::int64_t y) {
  return std::to_string(x) + ", " + std::to_string(y);
}

std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// What a file that is not a BMP looks like it is.
std::string file_kind(const std::vector<std::uint8_t>& file) {
  auto starts = [&file](std::string_view mark) {
    return file.size() >= mark.size() &&
           std::equal(mark.begin(), mark.end(), file.begin(), [](char c, std::uint8_t byte) {
             return static_cast<std::uint8_t>(c) == byte;
           });
  };
  if (starts("\x89PNG")) return "a PNG picture";
  if (starts("\xFF\xD8\xFF")) return "a JPEG picture";
  if (starts("GIF8")) return "a GIF picture";
  if (file.empty()) return "empty";
  return "not a BMP file";
}

// What the converter refuses, in its order: signature, depth, compression.
std::optional<Finding> refusal(const Picture& picture) {
  const std::vector<std::uint8_t>& file = picture.file;
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M')
    return Finding{true, "the file is " + file_kind(file) +
                             " (it does not start with \"BM\"); Quorvel refuses it: save the "
                             "picture as an uncompressed BMP with a palette" +
                             making};
  if (picture.info_size == 12)
    return Finding{true,
                   "an OS/2 bitmap (a 12-byte header); Quorvel reads Windows BMP headers only: "
                   "save it as a Windows BMP (netpbm: ppmtobmp -windows)" +
                       making};
  std::int32_t bits = picture.bits;
  if (bits == 24 || bits == 32)
    return Finding{true, "a " + std::to_string(bits) +
                             "-bit picture, without a palette; Quorvel refuses it: save it with "
                             "a palette of at most 16 colours, as a 4-bit BMP" +
                             making};
  if (bits != 1 && bits != 4 && bits != 8)
    return Finding{true, "a picture of " + std::to_string(bits) +
                             " bits a pixel; Quorvel takes 1, 4 or 8: save it as a 4-bit BMP "
                             "with a palette, or 1-bit for a hires sprite" +
                             making};
  if (picture.compression != 0)
    return Finding{true,
                   "the pixels are compressed (RLE); Quorvel refuses compressed bitmaps: save "
                   "without compression (ImageMagick: -compress none; GIMP: Run-Length Encoded "
                   "off)" +
                       making};
  if (picture.data_offset < 0)
    return Finding{true, "the pixel data is said to start at " +
                             std::to_string(picture.data_offset) +
                             ", before the file; Quorvel ends with status 131" + damaged};
  return std::nullopt;
}

void check_geometry(const Picture& picture, std::vector<Finding>& findings) {
  if (picture.width != 24 || picture.rows() != 21)
    findings.push_back(
        {false, "the picture is " + std::to_string(picture.width) + " by " +
                    std::to_string(picture.rows()) +
                    " pixels; a sprite is 24 by 21, and Quorvel converts a picture of another "
                    "size into too many, too few or the wrong bytes: make the canvas 24 by 21" +
                    making});
  if (picture.height < 0)
    findings.push_back(
        {false, std::string("the rows are stored top-down (a negative height); Quorvel takes "
                            "them bottom-up, so ") +
                    (picture.multicolour() ? "the sprite gets no rows at all"
                                           : "the sprite comes out upside down") +
                    ": save the BMP bottom-up, as paint programs do by default" + making});
}

void check_data(const Picture& picture, std::vector<Finding>& findings) {
  auto length = static_cast<std::int64_t>(picture.file.size());
  std::int64_t needed = picture.data_offset + picture.stride() * picture.rows();
  std::int64_t headers = 14 + std::int64_t{picture.info_size};
  if (picture.data_offset < headers)
    findings.push_back({false, "the pixel data is said to start at byte " +
                                   std::to_string(picture.data_offset) + ", inside the headers (" +
                                   std::to_string(headers) +
                                   " bytes), so header bytes would be taken for pixels" + damaged});
  else if (picture.data_offset >= length)
    findings.push_back(
        {false, "the pixel data is said to start at byte " + std::to_string(picture.data_offset) +
                    ", past the end of the file (" + std::to_string(length) +
                    " bytes); Quorvel would repeat one byte for every pixel" + damaged});
  else if (needed > length)
    findings.push_back(
        {false, "the file ends inside the pixel data, after " + std::to_string(length) +
                    " of the " + std::to_string(needed) +
                    " bytes the picture needs; Quorvel repeats the last byte read for the "
                    "missing pixels" +
                    damaged});
}

// The rows from the top whose pixels are in the file, and how many pixels of
// a row can be: the work stays in proportion to the file, whatever the header.
struct Stored {
  std::int64_t first_row, end_row, width;
};
Stored stored_pixels(const Picture& picture) {
  auto length = static_cast<std::int64_t>(picture.file.size());
  std::int64_t in_file =
      length <= picture.data_offset
          ? 0
          : (length - picture.data_offset + picture.stride() - 1) / picture.stride();
  std::int64_t rows = std::min(picture.rows(), in_file);
  std::int64_t width = std::min<std::int64_t>(picture.width, length * 8 / picture.bits);
  if (picture.height > 0) return {picture.rows() - rows, picture.rows(), width};
  return {0, rows, width};
}

// Indices above 3 and pairs whose two pixels differ, over the whole picture.
void check_pixels(const Picture& picture, std::vector<Finding>& findings) {
  if (!picture.multicolour() || picture.width <= 0) return;
  std::set<int> above_3;
  std::int64_t above_count = 0, pair_count = 0;
  std::string first_above, first_pair;
  Stored stored = stored_pixels(picture);
  for (std::int64_t y = stored.first_row; y < stored.end_row; ++y) {
    for (std::int64_t x = 0; x < stored.width; ++x) {
      int index = picture.index(x, y);
      if (index > 3) {
        above_3.insert(index);
        if (above_count++ == 0) first_above = position(x, y);
      }
      if (x % 2 == 1 && index >= 0 && picture.index(x - 1, y) >= 0 &&
          picture.index(x - 1, y) != index && pair_count++ == 0)
        first_pair = position(x - 1, y);
    }
  }
  if (above_count > 0) {
    std::string list;
    int listed = 0;
    for (int index : above_3) {
      if (listed++ == 8) {
        list += ", ...";
        break;
      }
      list += (list.empty() ? "" : ", ") + std::to_string(index);
    }
    findings.push_back(
        {false,
         "palette " + std::string(above_3.size() == 1 ? "index " : "indices ") + list +
             (above_3.size() == 1 ? " is" : " are") + " used (" + std::to_string(above_count) +
             (above_count == 1 ? " pixel" : " pixels") + ", the first at " + first_above +
             "); Quorvel reads indices 0 to 3" +
             (picture.bits == 8 ? " (of an 8-bit index its low four bits: 17 acts as 1)" : "") +
             ", the others become the background: save the picture with these colours at "
             "indices 0 to 3" +
             making});
  }
  if (pair_count > 0)
    findings.push_back(
        {false, std::to_string(pair_count) + " pair" + (pair_count == 1 ? "" : "s") +
                    " of pixels differ (the first at " + first_pair +
                    "); a multicolour sprite pixel is two bitmap pixels wide and Quorvel takes "
                    "the right-hand one: draw every sprite pixel two bitmap pixels wide" +
                    colours_section});
}

// A colour argument that silently becomes another code.
std::optional<Finding> colour_finding(int number, const std::string& text, bool hires) {
  std::string name = "colour" + std::to_string(number) + " is " + quoted(text);
  std::string codes = hires ? ": give 0 (the background) or 1 (the sprite colour)"
                            : ": give 0 (the background), 1 (multicolour 1), 2 (the sprite "
                              "colour) or 3 (multicolour 2)";
  ColourReading reading = read_colour(text);
  switch (reading.kind) {
    case ColourReading::negative:
      return Finding{
          false, name + ", a negative number, which Quorvel takes as 0" + codes + colours_section};
    case ColourReading::not_a_number:
    case ColourReading::too_large:
      return Finding{false, name + ", which is not a number Quorvel reads, so it takes it as 0" +
                                codes + colours_section};
    case ColourReading::number:
      break;
  }
  unsigned code = colour_number(text);
  if (code <= 3) return std::nullopt;
  return Finding{false, name + ", which Quorvel takes as code " + std::to_string(code) +
                            "; a code above 3 spills its bits into the neighbouring pixels" +
                            codes + colours_section};
}

// Hires draws index 1 in the sprite colour, or index 0 when colour1 is not 0.
std::optional<Finding> hires_rule(const Arguments& arguments) {
  bool background0 = colour_number(arguments.colours[0]) == 0;
  bool background1 = colour_number(arguments.colours[1]) == 0;
  if (background0 != background1) return std::nullopt;
  std::string said = background0 ? "both 0, the background" : "both not 0, the sprite colour";
  std::string shown = background0 ? "index 1" : "index 0";
  return Finding{false, "colour1 and colour2 are " + said +
                            ", but a hires sprite always shows one of the two indices in the "
                            "sprite colour (here " +
                            shown +
                            "): give 0 1 for index 1 in the sprite colour, or 1 0 for index 0 "
                            "(README: \"Hires sprites\")"};
}

std::optional<Finding> address_finding(const std::string& text) {
  if (is_no_address(text)) return std::nullopt;
  std::string digits = address_digits(text);
  int value = hex_pair_value(std::string_view(digits).substr(0, 2)) << 8 |
              hex_pair_value(std::string_view(digits).substr(2));
  char hex[6] = "$0000";
  for (int i = 0; i < 4; ++i) hex[4 - i] = "0123456789ABCDEF"[value >> (4 * i) & 15];
  std::string_view rest = text;
  for (std::string_view marker : {"$", "0x", "0X"})
    if (rest.starts_with(marker)) {
      rest.remove_prefix(marker.size());
      break;
    }
  std::string what = "the start address " + quoted(text);
  std::string give = ": give the address in hex, such as 2000 or $c000, or none for no address" +
                     command_line_section;
  if (rest.empty()) return Finding{false, what + " is empty, which Quorvel writes as $0000" + give};
  auto is_hex = [](char c) { return hex_digit_value(c) >= 0; };
  auto bad = std::find_if_not(rest.begin(), rest.end(), is_hex);
  if (bad != rest.end())
    return Finding{false, what + " holds " + quoted(std::string_view(&*bad, 1)) +
                              ", not a hex digit, which counts as 0: Quorvel writes " + hex + give};
  bool decimal = rest.size() == text.size() && rest.size() >= 5 &&
                 std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (decimal)
    return Finding{false, what + " looks decimal, but Quorvel reads hex and writes " + hex + give};
  return std::nullopt;
}

}  // namespace

std::vector<Finding> check_picture(const std::vector<std::uint8_t>& file) {
  Picture picture{file};
  if (std::optional<Finding> refused = refusal(picture)) return {*refused};
  std::vector<Finding> findings;
  if (file.size() < 54) {
    findings.push_back({false, "the file ends after " + std::to_string(file.size()) +
                                   " bytes, inside the BMP header (54 bytes)" + damaged});
    return findings;
  }
  check_geometry(picture, findings);
  check_data(picture, findings);
  check_pixels(picture, findings);
  return findings;
}

std::vector<Finding> check_arguments(const std::vector<std::uint8_t>& file,
                                     const Arguments& arguments) {
  Picture picture{file};
  bool hires = picture.bits == 1 && !refusal(picture);
  std::vector<Finding> findings;
  if (std::optional<Finding> found = address_finding(arguments.startaddress))
    findings.push_back(*found);
  if (arguments.add_zero_byte != "0" && arguments.add_zero_byte != "1")
    findings.push_back({false, "add_zero_byte is " + quoted(arguments.add_zero_byte) +
                                   "; only 1 adds the zero byte, anything else leaves it out: "
                                   "give 1 or 0" +
                                   command_line_section});
  for (int i = 0; i < 4; ++i)
    if (std::optional<Finding> found = colour_finding(i + 1, arguments.colours[i], hires))
      findings.push_back(*found);
  if (hires)
    if (std::optional<Finding> found = hires_rule(arguments)) findings.push_back(*found);
  if (hires &&
      (colour_number(arguments.colours[2]) != 0 || colour_number(arguments.colours[3]) != 0))
    findings.push_back({false,
                        "a 1-bit picture becomes a hires sprite, which has no use for "
                        "colour3 and colour4 (" +
                            quoted(arguments.colours[2]) + ", " + quoted(arguments.colours[3]) +
                            "): for a multicolour sprite save the picture as a 4-bit BMP; "
                            "for a hires one give 0 for both" +
                            making});
  return findings;
}

}  // namespace check
