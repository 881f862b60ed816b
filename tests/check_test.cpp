// quorvel-check's checks, in-process: a row for every finding, and rows that
// must stay silent.
#include <gtest/gtest.h>

#include <functional>

#include "bmp_writer.hpp"
#include "c64/palettes.hpp"
#include "check/checks.hpp"
#include "support/json_reader.hpp"

namespace {

using namespace bmp_writer;

// A 24 by 21 picture drawn as a sprite should be: every pixel two wide,
// indices 0 to 3 (0 and 1 for 1 bit).
PixelRows clean_pixels(int bits) {
  PixelRows pixels(21, std::vector<std::uint8_t>(24));
  for (std::size_t y = 0; y < 21; ++y)
    for (std::size_t x = 0; x < 24; ++x)
      pixels[y][x] = static_cast<std::uint8_t>(bits == 1 ? (x + y) % 2 : (x / 2 + y) % 4);
  return pixels;
}

Bytes clean(int bits) {
  return encode_bmp({.bits = bits, .pixels = clean_pixels(bits)});
}

Bytes with_pixel(int bits, std::size_t x, std::size_t y, std::uint8_t index) {
  PixelRows pixels = clean_pixels(bits);
  pixels[y][x] = index;
  return encode_bmp({.bits = bits, .pixels = pixels});
}

Bytes sized(int bits, std::size_t width, std::size_t height) {
  return encode_bmp({.bits = bits, .pixels = PixelRows(height, std::vector<std::uint8_t>(width))});
}

Bytes changed(Bytes bitmap, const std::function<void(Bytes&)>& change) {
  change(bitmap);
  return bitmap;
}

// Pepto's C64 palette, as a paint program saves a picture drawn in it.
const std::vector<std::uint32_t> c64_colours = {
    0x000000, 0xFFFFFF, 0x68372B, 0x70A4B2, 0x6F3D86, 0x588D43, 0x352879, 0xB8C76F,
    0x6F4F25, 0x433900, 0x9A6759, 0x444444, 0x6C6C6C, 0x9AD284, 0x6C5EB5, 0x959595};

// A sprite drawn in the C64 palette with the colour numbers `used` as indices,
// each pixel two wide.
Bytes in_c64_palette(const std::vector<std::uint8_t>& used, int bits = 4) {
  PixelRows pixels(21, std::vector<std::uint8_t>(24));
  for (std::size_t y = 0; y < 21; ++y)
    for (std::size_t x = 0; x < 24; ++x) pixels[y][x] = used[(x / 2 + y) % used.size()];
  return encode_bmp({.bits = bits, .pixels = pixels, .colours = c64_colours});
}

// Drawn two pixels wide, but one pixel off the pairs: columns 1 and 2, 3 and
// 4, ... agree, the first column is the background.
Bytes off_the_pairs() {
  PixelRows pixels(21, std::vector<std::uint8_t>(24));
  for (std::size_t y = 0; y < 21; ++y)
    for (std::size_t x = 1; x < 24; ++x)
      pixels[y][x] = static_cast<std::uint8_t>(((x + 1) / 2 + y) % 3 + 1);
  return encode_bmp({.bits = 4, .pixels = pixels});
}

// Two colours drawn one pixel a sprite pixel, saved at 4 bits.
Bytes two_colours_one_wide() {
  PixelRows pixels(21, std::vector<std::uint8_t>(24));
  for (std::size_t y = 0; y < 21; ++y)
    for (std::size_t x = 0; x < 24; ++x) pixels[y][x] = static_cast<std::uint8_t>((x + y) % 2);
  return encode_bmp({.bits = 4, .pixels = pixels});
}

// A 1-bit picture that does not read the same upside down, stored top-down.
Bytes top_down_hires() {
  PixelRows pixels = clean_pixels(1);
  pixels[0][0] ^= 1;
  return encode_bmp({.bits = 1, .pixels = pixels, .top_down = true});
}

// A bitmap whose pixel data lies `distance` bytes further into the file, as
// the check reads it: the headers, the pixel data, the file's length.
check::Bitmap far(const Bytes& file, std::int64_t distance) {
  auto offset = static_cast<std::size_t>(file[10] | file[11] << 8);
  Bytes head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offset));
  put_i32(head, at_bfOffBits,
          static_cast<std::int32_t>(static_cast<std::int64_t>(offset) + distance));
  return {head, static_cast<std::int64_t>(offset) + distance,
          Bytes(file.begin() + static_cast<std::ptrdiff_t>(offset), file.end()),
          static_cast<std::int64_t>(file.size()) + distance};
}

check::Arguments arguments(std::string startaddress, std::string zero_byte,
                           std::vector<std::string> colours) {
  return {startaddress, zero_byte, {colours[0], colours[1], colours[2], colours[3]}};
}

const check::Arguments standard = arguments("2000", "1", {"0", "1", "2", "3"});

// Every finding about the picture and the arguments, one "kind: message" a
// line; and the JSON document of the same findings must be valid and say the same.
std::string all_messages(const check::Bitmap& bitmap, const check::Arguments& given) {
  constexpr const char* kinds[] = {"error: ", "warning: ", "note: "};
  std::string text, lines;
  int status = 0;
  std::vector<check::Finding> findings = check::check_bitmap(bitmap, &given);
  for (const check::Finding& finding : findings) {
    text += kinds[finding.severity] + finding.message + "\n";
    lines += "in.bmp: " + std::string(kinds[finding.severity]) + finding.message + "\n";
    if (finding.severity != check::Finding::note) status = 1;
  }
  std::string json = companion::json_document(status, "in.bmp", check::records(findings), "");
  EXPECT_EQ(testing_support::json_disagreement(json, status, lines, "", status, "in.bmp"), "");
  return text;
}

std::string all_messages(const Bytes& bitmap, const check::Arguments& given) {
  return all_messages(check::whole_file(bitmap), given);
}

const std::string long_text(std::size_t length, const std::string& end) {
  return std::string(length - end.size(), '0') + end;
}

TEST(Check, EveryTrapHasAFindingThatSaysWhatToDo) {
  const struct {
    std::string name;
    Bytes bitmap;
    check::Arguments given;
    std::vector<std::string> expected;  // parts of the findings, in order
  } cases[] = {
      {"the C64 palette",
       changed(clean(4),
               [](Bytes& b) {
                 for (std::size_t at = 118; at < b.size(); ++at) b[at] = at % 3 ? 0x66 : 0xA7;
               }),
       standard,
       {"warning: palette indices 6, 7, 10 are used (504 pixels, the first at 0, 0)",
        "indices 0 to 3", "pairs of pixels differ"}},
      {"an 8-bit index above 15",
       with_pixel(8, 5, 2, 17),
       standard,
       {"palette index 17 is used (1 pixel, the first at 5, 2)", "17 acts as 1",
        "1 pair of pixels differ (the first at 4, 2)"}},
      {"32 by 32", sized(4, 32, 32), standard, {"the picture is 32 by 32 pixels"}},
      {"12 by 21", sized(4, 12, 21), standard, {"the picture is 12 by 21 pixels"}},
      {"24 by 22", sized(8, 24, 22), standard, {"the picture is 24 by 22 pixels"}},
      {"48 by 42, 1 bit",
       sized(1, 48, 42),
       arguments("2000", "1", {"0", "1", "0", "0"}),
       {"the picture is 48 by 42 pixels"}},
      {"top-down",
       encode_bmp({.bits = 4, .pixels = clean_pixels(4), .top_down = true}),
       standard,
       {"stored top-down", "no rows at all"}},
      {"top-down, 1 bit",
       top_down_hires(),
       arguments("2000", "1", {"0", "1", "0", "0"}),
       {"upside down"}},
      {"one-pixel detail",
       with_pixel(4, 6, 3, 1),
       standard,
       {"1 pair of pixels differ (the first at 6, 3)", "right-hand"}},
      {"cut short",
       changed(clean(4), [](Bytes& b) { b.resize(200); }),
       standard,
       {"the file ends inside the pixel data, after 200 of the 370 bytes"}},
      {"offset past the end",
       changed(clean(4), [](Bytes& b) { put_i32(b, at_bfOffBits, 5000); }),
       standard,
       {"start at byte 5000, past the end of the file (370 bytes)"}},
      {"offset inside the headers",
       changed(clean(4), [](Bytes& b) { put_i32(b, at_bfOffBits, 0); }),
       standard,
       {"start at byte 0, inside the headers (54 bytes)"}},
      {"header cut short",
       changed(clean(4), [](Bytes& b) { b.resize(40); }),
       standard,
       {"after 40 bytes, inside the BMP header"}},
      {"C64 colour numbers",
       clean(4),
       arguments("2000", "1", {"6", "10", "1", "8"}),
       {"colour1 is \"6\", which Quorvel takes as code 6",
        "colour2 is \"10\", which Quorvel takes as code 10",
        "colour4 is \"8\", which Quorvel takes as code 8"}},
      {"-1, ff, one, 300",
       clean(8),
       arguments("2000", "1", {"-1", "ff", "one", "300"}),
       {"colour1 is \"-1\", a negative number, which Quorvel takes as 0",
        "colour2 is \"ff\", which is not a number", "colour3 is \"one\", which is not a number",
        "colour4 is \"300\", which Quorvel takes as code 44"}},
      {"decimal address",
       clean(4),
       arguments("49152", "1", {"0", "1", "2", "3"}),
       {"\"49152\" looks decimal, but Quorvel reads hex and writes $4915"}},
      {"empty address",
       clean(4),
       arguments("", "1", {"0", "1", "2", "3"}),
       {"\"\" is empty, which Quorvel writes as $0000"}},
      {"a lone $", clean(4), arguments("$", "1", {"0", "1", "2", "3"}), {"is empty"}},
      {"a typo",
       clean(4),
       arguments("2g00", "1", {"0", "1", "2", "3"}),
       {"holds \"g\", not a hex digit, which counts as 0: Quorvel writes $2000"}},
      {"zero byte yes",
       clean(4),
       arguments("2000", "yes", {"0", "1", "2", "3"}),
       {"add_zero_byte is \"yes\"; only 1 adds the zero byte"}},
      {"zero byte 01",
       clean(4),
       arguments("2000", "01", {"0", "1", "2", "3"}),
       {"add_zero_byte is \"01\""}},
      {"hires, both background",
       clean(1),
       arguments("2000", "1", {"0", "0", "0", "0"}),
       {"colour1 and colour2 are both 0, the background", "(here index 1)"}},
      {"hires, both sprite colour",
       clean(1),
       arguments("2000", "1", {"1", "1", "0", "0"}),
       {"both not 0, the sprite colour", "(here index 0)"}},
      {"1 bit, meant as multicolour",
       clean(1),
       standard,
       {"a 1-bit picture becomes a hires sprite, which has no use for colour3 and colour4 (\"2\", "
        "\"3\")"}},
      {"not a BMP",
       Bytes{'h', 'e', 'l', 'l', 'o'},
       standard,
       {"error: the file is not a BMP file (it does not start with \"BM\")"}},
      {"a PNG", Bytes{0x89, 'P', 'N', 'G', 13, 10}, standard, {"error: the file is a PNG picture"}},
      {"24-bit",
       changed(clean(4), [](Bytes& b) { put_u16(b, at_biBitCount, 24); }),
       standard,
       {"error: a 24-bit picture, without a palette", "at most 16 colours",
        "laid on its background colour where it is transparent", "quorvel-sheet"}},
      {"depth 2",
       changed(clean(4), [](Bytes& b) { put_u16(b, at_biBitCount, 2); }),
       standard,
       {"error: a picture of 2 bits a pixel"}},
      {"depth 16",
       changed(clean(4), [](Bytes& b) { put_u16(b, at_biBitCount, 16); }),
       standard,
       {"error: a picture of 16 bits a pixel"}},
      {"compressed",
       changed(clean(4), [](Bytes& b) { put_i32(b, at_biCompression, 2); }),
       standard,
       {"error: the pixels are compressed (RLE)", "-compress none"}},
      {"OS/2",
       changed(clean(4), [](Bytes& b) { put_i32(b, at_biSize, 12); }),
       standard,
       {"error: an OS/2 bitmap"}},
      {"negative offset",
       changed(clean(4), [](Bytes& b) { put_i32(b, at_bfOffBits, -10); }),
       standard,
       {"error: the pixel data is said to start at -10"}},
      {"negative compression",
       changed(clean(4), [](Bytes& b) { put_i32(b, at_biCompression, -1); }),
       standard,
       {"error: the pixels are compressed"}},
      {"index 4",
       with_pixel(4, 5, 2, 4),
       standard,
       {"palette index 4 is used (1 pixel, the first at 5, 2)"}},
      {"colour 4",
       clean(4),
       arguments("2000", "1", {"4", "1", "2", "3"}),
       {"colour1 is \"4\", which Quorvel takes as code 4"}},
      {"4 bit, one byte short",
       changed(clean(4), [](Bytes& b) { b.pop_back(); }),
       standard,
       {"after 369 of the 370 bytes"}},
      {"8 bit, one byte short",
       changed(clean(8), [](Bytes& b) { b.pop_back(); }),
       standard,
       {"after 1581 of the 1582 bytes"}},
      {"a hostile height: work in proportion to the file",
       changed(clean(4), [](Bytes& b) { put_i32(b, at_biHeight, INT32_MAX); }),
       standard,
       {"the picture is 24 by 2147483647 pixels", "after 370 of the 25769803882 bytes"}},
      {"48 by 42, a sheet",
       sized(4, 48, 42),
       standard,
       {"4 sprites of 24 by 21", "quorvel-sheet", "Many sprites"}},
      {"96 by 21, a sheet", sized(8, 96, 21), standard, {"4 sprites of 24 by 21", "quorvel-sheet"}},
      {"64 by 32, an editor's cells",
       sized(4, 64, 32),
       standard,
       {"2 cells of 32 by 32", "--cell 32x32"}},
      {"1 bit, code 2 meant as multicolour",
       clean(1),
       arguments("2000", "1", {"0", "2", "0", "0"}),
       {"colour2 is \"2\", code 2, the sprite colour of a multicolour sprite", "4-bit BMP"}},
      {"1 bit, code 3 meant as multicolour",
       clean(1),
       arguments("2000", "1", {"0", "$3", "0", "0"}),
       {"colour2 is \"$3\", code 3, multicolour 2 of a multicolour sprite"}},
      {"texts past 255 characters",
       clean(4),
       arguments(long_text(300, "2000"), "1", {long_text(256, "01"), "1", "2", "3"}),
       {"the start address is 300 characters long, and Quorvel reads only its first 255",
        "colour1 is 256 characters long", "\"" + long_text(255, "0") + "\" looks decimal"}},
      {"five digits after $",
       clean(4),
       arguments("$12345", "1", {"0", "1", "2", "3"}),
       {"a C64 address has at most four hex digits", "writes $1234"}},
      {"0x10000", clean(4), arguments("0x10000", "1", {"0", "1", "2", "3"}), {"writes $1000"}},
      {"fffff", clean(4), arguments("fffff", "1", {"0", "1", "2", "3"}), {"writes $FFFF"}},
      {"c0001", clean(4), arguments("c0001", "1", {"0", "1", "2", "3"}), {"writes $C000"}},
      {"a space after four digits",
       clean(4),
       arguments("c000 ", "1", {"0", "1", "2", "3"}),
       {"the start address \"c000 \" has 5 characters", "writes $C000"}},
      {"$2000 that a shell took for $2",
       clean(4),
       arguments("000", "1", {"0", "1", "2", "3"}),
       {"gives $0000, in the zero page and the stack",
        "'$2000' in a shell and $$2000 in a Makefile"}},
      {"zero page",
       clean(4),
       arguments("$00fb", "1", {"0", "1", "2", "3"}),
       {"gives $00FB, in the zero page"}},
      {"256 and more, taken modulo 256",
       clean(4),
       arguments("2000", "1", {"256", "$100", "$c000", "49152"}),
       {"colour1 is \"256\", which Quorvel takes modulo 256, as code 0",
        "colour2 is \"$100\", which Quorvel takes modulo 256, as code 0", "colour3 is \"$c000\"",
        "colour4 is \"49152\""}},
      {"two colours drawn one pixel wide, arguments of a hires sprite",
       two_colours_one_wide(),
       arguments("2000", "1", {"0", "1", "0", "0"}),
       {"pairs of pixels differ", "save it as a 1-bit BMP", "Hires sprites"}},
      {"drawn one pixel off the pairs",
       off_the_pairs(),
       standard,
       {"pairs of pixels differ", "one pixel off the pairs, so move it one pixel left"}},
      {"the C64 palette, four colours: names, and where each moves",
       in_c64_palette({0, 6, 7, 10}),
       standard,
       {"palette indices 6, 7, 10 are used",
        "entry 6, C64 blue; entry 7, C64 yellow; entry 10, C64 light red",
        "6 to 1 (colour2 \"1\": code 1, multicolour 1), 7 to 2 (colour3 \"2\": code 2, the sprite "
        "colour), 10 to 3 (colour4 \"3\": code 3, multicolour 2)"}},
      {"the C64 palette, the background in blue but code 0 given too",
       in_c64_palette({6, 1, 2, 3}),
       arguments("2000", "1", {"0", "0", "2", "3"}),
       {"palette index 6 is used", "entry 6, C64 blue"}},
  };
  for (const auto& c : cases) {
    std::string text = all_messages(c.bitmap, c.given);
    EXPECT_EQ(text.find("counts as 0: Quorvel writes $C000"), std::string::npos) << c.name;
    std::size_t at = 0;
    for (const std::string& part : c.expected) {
      std::size_t found = text.find(part, at);
      EXPECT_NE(found, std::string::npos) << c.name << ": no \"" << part << "\" in\n" << text;
      if (found != std::string::npos) at = found + part.size();
    }
    EXPECT_NE(text.find("README: \""), std::string::npos) << c.name << ": no pointer in\n" << text;
  }
}

// No false alarms: right pictures in every depth, and every argument form the
// README documents; at most a note where all is well but not as it may seem.
TEST(Check, RightPicturesAndDocumentedArgumentsStaySilent) {
  const struct {
    std::string name;
    check::Bitmap bitmap;
    check::Arguments given;
    std::string note = "";
  } cases[] = {
      {"4 bit", check::whole_file(clean(4)), standard},
      {"8 bit", check::whole_file(clean(8)), arguments("none", "0", {"3", "2", "1", "0"})},
      {"1 bit, index 1 the sprite colour", check::whole_file(clean(1)),
       arguments("c000", "1", {"0", "1", "0", "0"})},
      {"1 bit, index 0 the sprite colour", check::whole_file(clean(1)),
       arguments("none", "1", {"1", "0", "0", "0"})},
      {"notations", check::whole_file(clean(4)),
       arguments("$c000", "1", {"0x1", "%10", "$3", "&0"})},
      {"NONE", check::whole_file(clean(4)), arguments("NONE", "0", {" 1", "+2", "x3", "X0"})},
      {"801", check::whole_file(clean(4)), arguments("801", "1", {"0", "0", "0", "0"})},
      {"0x2000 and C000", check::whole_file(clean(4)),
       arguments("0x2000", "1", {"0", "1", "2", "3"})},
      {"C000", check::whole_file(clean(4)), arguments("C000", "1", {"0", "1", "2", "3"})},
      {"0200, the lowest address outside the zero page and stack", check::whole_file(clean(4)),
       arguments("0200", "1", {"0", "1", "2", "3"})},
      {"-0 and -0x0 are 0", check::whole_file(clean(4)),
       arguments("2000", "1", {"-0", "1", "2", "-0x0"})},
      {"255 characters", check::whole_file(clean(4)),
       arguments("2000", "1", {long_text(255, "1"), "0", "2", "3"})},
      {"a longer info header",
       check::whole_file(changed(clean(4),
                                 [](Bytes& b) {
                                   b.insert(b.begin() + 54, 68, 0xFF);
                                   put_i32(b, at_biSize, 108);
                                   put_i32(b, at_bfOffBits, 118 + 68);
                                 })),
       standard},
      {"1 bit without its last padding byte, which Quorvel never reads",
       check::whole_file(changed(clean(1), [](Bytes& b) { b.pop_back(); })),
       arguments("2000", "1", {"0", "1", "0", "0"})},
      {"1 bit top-down, the same upside down",
       check::whole_file(encode_bmp({.bits = 1, .pixels = clean_pixels(1), .top_down = true})),
       arguments("2000", "1", {"0", "1", "0", "0"})},
      {"no palette, the pixels right after the headers",
       check::whole_file(encode_bmp({.bits = 4, .pixels = clean_pixels(4), .palette_entries = 0})),
       standard},
      {"the pixel data past 64 MiB", far(clean(4), std::int64_t{100} << 20), standard},
      {"the C64 palette, the background drawn in blue",
       check::whole_file(in_c64_palette({6, 1, 2, 3})), standard,
       "note: entry 6, C64 blue, becomes the background (code 0, $D021), as the picture shows "
       "it\n"},
      {"the C64 palette at 8 bits, the background drawn in light blue, checked alone",
       check::whole_file(in_c64_palette({14, 1, 2, 3}, 8)), standard,
       "note: entry 14, C64 light blue, becomes the background (code 0, $D021), as the picture "
       "shows it\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(all_messages(c.bitmap, c.given), c.note) << c.name;
  }
}

}  // namespace

namespace {

// A colour within the tolerance of one C64 colour is never within it of
// another of the same palette.
TEST(C64Palettes, AnyTwoColoursOfAPaletteAreMoreThanTwiceTheToleranceApart) {
  for (const c64::Palette& palette : c64::palettes)
    for (std::size_t one = 0; one < 16; ++one)
      for (std::size_t other = one + 1; other < 16; ++other) {
        int apart = 0;
        for (int shift : {16, 8, 0})
          apart = std::max(apart, std::abs(static_cast<int>(palette.rgb[one] >> shift & 0xFF) -
                                           static_cast<int>(palette.rgb[other] >> shift & 0xFF)));
        EXPECT_GT(apart, 2 * c64::tolerance) << palette.name << " " << one << " " << other;
      }
}

}  // namespace
