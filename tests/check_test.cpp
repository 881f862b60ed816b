// quorvel-check's checks, in-process: a row for every finding, and rows that
// must stay silent.
#include <gtest/gtest.h>

#include <functional>

#include "bmp_writer.hpp"
#include "check/checks.hpp"

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

check::Arguments arguments(std::string startaddress, std::string zero_byte,
                           std::vector<std::string> colours) {
  return {startaddress, zero_byte, {colours[0], colours[1], colours[2], colours[3]}};
}

const check::Arguments standard = arguments("2000", "1", {"0", "1", "2", "3"});

// Every finding about the picture and the arguments, one "kind: message" a line.
std::string all_messages(const Bytes& bitmap, const check::Arguments& given) {
  std::vector<check::Finding> findings = check::check_picture(bitmap);
  for (check::Finding& finding : check::check_arguments(bitmap, given)) findings.push_back(finding);
  std::string text;
  for (const check::Finding& finding : findings)
    text += std::string(finding.refused ? "error: " : "warning: ") + finding.message + "\n";
  return text;
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
       encode_bmp({.bits = 1, .pixels = clean_pixels(1), .top_down = true}),
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
       {"error: a 24-bit picture, without a palette", "at most 16 colours"}},
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
  };
  for (const auto& c : cases) {
    std::string text = all_messages(c.bitmap, c.given);
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
// README documents.
TEST(Check, RightPicturesAndDocumentedArgumentsStaySilent) {
  const struct {
    std::string name;
    Bytes bitmap;
    check::Arguments given;
  } cases[] = {
      {"4 bit", clean(4), standard},
      {"8 bit", clean(8), arguments("none", "0", {"3", "2", "1", "0"})},
      {"1 bit, index 1 the sprite colour", clean(1), arguments("c000", "1", {"0", "1", "0", "0"})},
      {"1 bit, index 0 the sprite colour", clean(1), arguments("none", "1", {"1", "0", "0", "0"})},
      {"notations", clean(4), arguments("$c000", "1", {"0x1", "%10", "$3", "&0"})},
      {"NONE", clean(4), arguments("NONE", "0", {" 1", "+2", "x3", "X0"})},
      {"801", clean(4), arguments("801", "1", {"0", "0", "0", "0"})},
      {"0x2000 and C000", clean(4), arguments("0x2000", "1", {"0", "1", "2", "3"})},
      {"C000", clean(4), arguments("C000", "1", {"0", "1", "2", "3"})},
      {"c0001", clean(4), arguments("c0001", "1", {"0", "1", "2", "3"})},
      {"a longer info header",
       changed(clean(4),
               [](Bytes& b) {
                 b.insert(b.begin() + 54, 68, 0xFF);
                 put_i32(b, at_biSize, 108);
                 put_i32(b, at_bfOffBits, 118 + 68);
               }),
       standard},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(all_messages(c.bitmap, c.given), "") << c.name;
  }
}

}  // namespace
