// Pixel rows into sprite bytes, stated as pictures wherever possible.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/scenario.hpp"

namespace {

using namespace testing_support;

const std::string hires_mode =
    "Image is in 1 bit black/white mode: Converting it to a hires sprite";
const std::string four_bit_mode =
    "Image is in 4 bit indexed colours mode: Converting it to a multicolor sprite";
const std::string eight_bit_mode =
    "Image is in 8 bit indexed colours mode: Converting it to a multicolor sprite";

Bytes sprite_of(const Conversion& result, std::size_t skip = 2) {
  EXPECT_EQ(result.run.status, 0) << result.run.output << result.run.error;
  if (result.output.size() < skip) return {};
  return Bytes(result.output.begin() + static_cast<long>(skip), result.output.end());
}

// The sprite a multicolour conversion should give: the right-hand pixel of
// every pair, through the colour map 0 1 2 3 (indices above 3 give 0).
std::vector<std::string> expected_multicolour(const PixelRows& pixels) {
  std::vector<std::string> rows;
  for (const auto& row : pixels) {
    std::string text;
    for (std::size_t x = 1; x < row.size(); x += 2) {
      int index = row[x] & 15;
      text += static_cast<char>('0' + (index < 4 ? index : 0));
    }
    rows.push_back(text);
  }
  return rows;
}

TEST(TypicalRun, ConsoleOutputByteForByte) {
  TempDir folder;
  Conversion result = convert(folder, encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(16)}));
  std::vector<std::string> expected = header_lines("in.bmp", 54, 4);
  for (const char* line :
       {"Opening file \"out.prg\" ($2000) for writing...", "252 bytes bitmap data.",
        "Starting at position: 118 byte", four_bit_mode.c_str(), "", "loadwrite_bitmap: done.",
        "Closing file...", "306 bytes totally read.", "", "Closing file..."})
    expected.push_back(line);
  EXPECT_EQ(result.run.output, lines(expected));
  EXPECT_EQ(result.run.error, "");
  EXPECT_EQ(result.run.status, 0);
  EXPECT_EQ(result.output.size(), 65u);
}

TEST(Multicolour, WorkedExampleGives108) {
  PixelRows pixels = sprite_sized_pixels(1);
  pixels[0] = grid({"010203000000000000000000"})[0];
  TempDir folder;
  Bytes sprite = sprite_of(convert(folder, encode_bmp({.bits = 4, .pixels = pixels})));
  ASSERT_EQ(sprite.size(), 63u);
  EXPECT_EQ(sprite[0], 108);
}

TEST(Multicolour, RightHandPixelOfEachPairDecides) {
  for (int bits : {4, 8}) {
    PixelRows pixels = sprite_sized_pixels(16);
    if (bits == 8)  // only the low four bits of an 8-bit index count
      for (auto& row : pixels) row[1] = static_cast<std::uint8_t>(row[1] + 16), row[3] = 17;
    TempDir folder;
    Conversion result = convert(folder, encode_bmp({.bits = bits, .pixels = pixels}));
    EXPECT_EQ(multicolour_picture(sprite_of(result)), expected_multicolour(pixels)) << bits;
    int total = 54 + (bits == 4 ? 252 : 504);
    EXPECT_NE(result.run.output.find("\r\n" + std::to_string(total) + " bytes totally read."),
              std::string::npos);
  }
}

TEST(Multicolour, ColourMapChoosesTheCodes) {
  PixelRows pixels = grid(std::vector<std::string>(21, "0a1b2c3d0a1b2c3d0a1b2c3d"));
  TempDir folder;
  Conversion result = convert(folder, encode_bmp({.bits = 4, .pixels = pixels}),
                              {"none", "0", {"3", "$2", "%1", "0"}});
  EXPECT_EQ(multicolour_picture(sprite_of(result, 0)),
            std::vector<std::string>(21, "000000000000"));
  pixels = grid(std::vector<std::string>(21, "a0b1c2d3a0b1c2d3a0b1c2d3"));
  result = convert(folder, encode_bmp({.bits = 4, .pixels = pixels}),
                   {"none", "0", {"3", "$2", "%1", "0"}});
  EXPECT_EQ(multicolour_picture(sprite_of(result, 0)),
            std::vector<std::string>(21, "321032103210"));
}

TEST(Multicolour, CodesAbove3SpillIntoNeighbours) {
  PixelRows pixels = grid(std::vector<std::string>(21, "000000010000000000000000"));
  TempDir folder;
  // Index 1 in the fourth place, colour code 4: bit 2, a bit of the third pixel.
  Bytes sprite = sprite_of(convert(folder, encode_bmp({.bits = 4, .pixels = pixels}),
                                   {"none", "0", {"0", "4", "0", "0"}}),
                           0);
  ASSERT_EQ(sprite.size(), 63u);
  EXPECT_EQ(sprite[0], 4);
}

TEST(Multicolour, GeometryFromTheHeader) {
  const struct {
    int bits;
    int width;
    int height;
    std::size_t sprite_bytes;
    int bytes_read;  // header and pixels, leftover pixels included
  } cases[] = {
      {4, 20, 21, 42, 54 + 21 * 10},  // two bytes a row, two pixels dropped
      {4, 7, 21, 0, 54 + 21 * 3},     // 3 steps: no byte at all
      {4, 24, 1, 3, 54 + 12},        {4, 24, 0, 0, 54},  {4, 24, -21, 0, 54}, {4, 24, 32769, 0, 54},
      {8, 25, 21, 63, 54 + 21 * 24},  // 12 steps of two bytes from rows 25 bytes long
      {8, 7, 21, 0, 54 + 21 * 6},    {8, 24, -1, 0, 54},
  };
  for (const auto& c : cases) {
    TempDir folder;
    Bytes bitmap = encode_bmp({.bits = c.bits, .pixels = sprite_sized_pixels(16)});
    bitmap.resize(bitmap.size() + 100);  // every row sought lies inside the file
    put_i32(bitmap, at_biWidth, c.width);
    put_i32(bitmap, at_biHeight, c.height);
    Conversion result = convert(folder, bitmap);
    EXPECT_EQ(sprite_of(result).size(), c.sprite_bytes)
        << c.bits << " " << c.width << "x" << c.height;
    EXPECT_TRUE(result.run.output.ends_with(
        (c.bits == 4 ? four_bit_mode : eight_bit_mode) +
        "\r\n\r\nloadwrite_bitmap: done.\r\nClosing file...\r\n" + std::to_string(c.bytes_read) +
        " bytes totally read.\r\n\r\nClosing file...\r\n"))
        << result.run.output;
  }
}

TEST(Multicolour, EightBitRowsAreWidthBytesApart) {
  // Rows of 25 bytes, packed without padding: pixel (x, y) of the picture at
  // offset 1078 + (20 - y) * 25 + x.
  Bytes bitmap = encode_bmp({.bits = 8, .pixels = sprite_sized_pixels(1)});
  bitmap.resize(1078);
  for (int stored = 0; stored < 21; ++stored)
    for (int x = 0; x < 25; ++x) bitmap.push_back(static_cast<std::uint8_t>((20 - stored + x) % 4));
  put_i32(bitmap, at_biWidth, 25);
  TempDir folder;
  std::vector<std::string> picture = multicolour_picture(sprite_of(convert(folder, bitmap)));
  ASSERT_EQ(picture.size(), 21u);
  for (int y = 0; y < 21; ++y) {
    std::string row;
    for (int x = 1; x < 24; x += 2) row += static_cast<char>('0' + (y + x) % 4);
    EXPECT_EQ(picture[static_cast<std::size_t>(y)], row) << y;
  }
}

TEST(Hires, PictureIsCopiedTopRowFirst) {
  std::vector<std::string> picture;
  for (int y = 0; y < 21; ++y) {
    std::string row(24, '.');
    row[static_cast<std::size_t>(y)] = '#';
    row[23 - static_cast<std::size_t>(y / 2)] = '#';
    picture.push_back(row);
  }
  TempDir folder;
  Conversion result = convert(folder, encode_bmp({.bits = 1, .pixels = grid(picture)}));
  EXPECT_EQ(hires_picture(sprite_of(result)), picture);
  EXPECT_NE(result.run.output.find("\r\n117 bytes totally read.\r\n"), std::string::npos);
  EXPECT_EQ(result.run.output.find("Information"), std::string::npos);

  std::vector<std::string> inverse = picture;
  for (auto& row : inverse)
    for (char& c : row) c = c == '#' ? '.' : '#';
  result = convert(folder, encode_bmp({.bits = 1, .pixels = grid(picture)}),
                   {"2000", "0", {"2", "0", "0", "0"}});
  EXPECT_EQ(hires_picture(sprite_of(result)), inverse);
  EXPECT_NE(result.run.output.find(hires_mode +
                                   "\r\nInformation: First colour is not 0: Inverting colours\r\n"),
            std::string::npos);
}

// Output byte 3k + j is the byte at bfOffBits + (20 - k) * 4 + j, whatever the
// header says about width and height; the fourth byte of a row is never read.
TEST(Hires, BytesComeFromFixedOffsets) {
  for (auto [width, height] : {std::pair{24, 21}, {32, 21}, {24, 10}}) {
    Bytes bitmap = encode_bmp({.bits = 1, .pixels = sprite_sized_pixels(2)});
    for (std::size_t i = 62; i < bitmap.size(); ++i) bitmap[i] = static_cast<std::uint8_t>(i);
    put_i32(bitmap, at_biWidth, width);
    put_i32(bitmap, at_biHeight, height);
    TempDir folder;
    Bytes sprite = sprite_of(convert(folder, bitmap));
    ASSERT_EQ(sprite.size(), 63u);
    for (std::size_t k = 0; k < 21; ++k)
      for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(sprite[3 * k + j], 62 + (20 - k) * 4 + j);
  }
}

TEST(DataSize, FilesizeErrorOnlyReports) {
  const struct {
    int bits;
    int data_size;
    std::string error_line;
  } cases[] = {
      {1, 100,
       "Filesize error: 100 bytes are incorrect! A black/white 24x21 image should have exactly 84 "
       "bytes!"},
      {1, 84, ""},
      {4, 251,
       "Filesize error: 251 bytes are incorrect! A 4bit (4 colour) 24x21 image should have exactly "
       "252 bytes!"},
      {4, 252, ""},
      {4, -118,
       "Filesize error: -118 bytes are incorrect! A 4bit (4 colour) 24x21 image should have "
       "exactly "
       "252 bytes!"},
      {8, 7, ""},
  };
  for (const auto& c : cases) {
    TempDir folder;
    Bytes bitmap = encode_bmp({.bits = c.bits, .pixels = sprite_sized_pixels(2)});
    int offset = bitmap[10] | bitmap[11] << 8;
    put_i32(bitmap, at_bfSize, offset + c.data_size);
    Conversion result = convert(folder, bitmap);
    std::string size_line = std::to_string(c.data_size) + " bytes bitmap data.\r\n";
    std::string position_line = "Starting at position: " + std::to_string(offset) + " byte\r\n";
    std::string expected =
        size_line + (c.error_line.empty() ? "" : c.error_line + "\r\n") + position_line;
    EXPECT_NE(result.run.output.find(expected), std::string::npos) << result.run.output;
    EXPECT_EQ(sprite_of(result).size(), 63u);
  }
}

// Reads past the end deliver nothing; the last byte read stands for the
// missing ones, and every missing byte comes out the same way.
TEST(ShortInput, MissingBytesRepeatTheLastByteRead) {
  for (std::string first_colour : {"0", "1"}) {
    Bytes bitmap = encode_bmp({.bits = 1, .pixels = sprite_sized_pixels(2)});
    bitmap.resize(62 + 4 * 10 + 1);  // rows 0-9 complete, one byte of row 10
    bitmap.back() = 0xA5;
    TempDir folder;
    Conversion result = convert(folder, bitmap, {"none", "0", {first_colour, "0", "0", "0"}});
    Bytes sprite = sprite_of(result, 0);
    ASSERT_EQ(sprite.size(), 63u);
    std::uint8_t expected = first_colour == "0" ? 0xA5 : 0x5A;
    // Output rows 0-9 are stored rows 20-11, all missing; the file ends at row 10.
    for (std::size_t i = 0; i < 30; ++i) EXPECT_EQ(sprite[i], first_colour == "0" ? 0 : 0xFF) << i;
    for (std::size_t i = 30; i < 33; ++i) EXPECT_EQ(sprite[i], expected) << i;
    EXPECT_NE(result.run.output.find("\r\n" + std::to_string(54 + 31) + " bytes totally read."),
              std::string::npos);
  }
}

// Positions are 64 bits wide on every system: a negative one is refused, and
// one past 2 GiB reads nothing, so every sprite byte is the held byte.
TEST(SeekPosition, DataOffsetNegativeOrPast2GiB) {
  const struct {
    std::int32_t offset;
    int status;
    std::size_t size;
  } cases[] = {{-1000, 131, 2}, {2147483647, 0, 65}};
  for (const auto& c : cases) {
    TempDir folder;
    Bytes bitmap = encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(16)});
    put_i32(bitmap, at_bfOffBits, c.offset);
    Conversion result = convert(folder, bitmap);
    EXPECT_EQ(result.run.status, c.status) << c.offset;
    ASSERT_EQ(result.output.size(), c.size) << c.offset;
    EXPECT_EQ(Bytes(result.output.begin(), result.output.begin() + 2), Bytes({0x00, 0x20}));
    if (c.status == 0) {
      EXPECT_EQ(std::count(result.output.begin() + 2, result.output.end(), result.output[2]), 63);
      continue;
    }
    EXPECT_EQ(report_problem(result.run.error, c.status), "");
    EXPECT_TRUE(result.run.output.ends_with("Starting at position: -1000 byte\r\n" + four_bit_mode +
                                            "\r\n"));
  }
}

}  // namespace

namespace {

// A picture in four colours, as a netpbm text file: code k is colour k.
const char* const rgb_of_code[4] = {"0 0 0", "255 0 0", "0 255 0", "0 0 255"};

std::string ppm_text(const std::vector<std::string>& codes) {
  std::string text = "P3\n24 21\n255\n";
  for (const std::string& row : codes)
    for (char code : row) text += std::string(rgb_of_code[code - '0']) + "\n";
  return text;
}

std::string pbm_text(const std::vector<std::string>& picture) {
  std::string text = "P1\n24 21\n";
  for (const std::string& row : picture) {
    for (char c : row) text += c == '#' ? "1 " : "0 ";
    text += "\n";
  }
  return text;
}

// The palette index the encoder gave a colour ("r g b").
int palette_index(const Bytes& bitmap, const std::string& rgb) {
  int offset = bitmap[10] | bitmap[11] << 8;
  for (int at = 14 + (bitmap[14] | bitmap[15] << 8), index = 0; at < offset; at += 4, ++index) {
    std::string entry = std::to_string(bitmap[static_cast<std::size_t>(at) + 2]) + " " +
                        std::to_string(bitmap[static_cast<std::size_t>(at) + 1]) + " " +
                        std::to_string(bitmap[static_cast<std::size_t>(at)]);
    if (entry == rgb) return index;
  }
  return -1;
}

}  // namespace

TEST(RealEncoders, MulticolourSpriteMatchesThePicture) {
  REQUIRE_TOOL(magick, "convert");
  REQUIRE_TOOL(ppmtobmp, "ppmtobmp");
  std::vector<std::string> codes;  // 24 pixels a row, doubled: one sprite pixel a pair
  for (int y = 0; y < 21; ++y) {
    std::string row;
    for (int x = 0; x < 12; ++x) row += std::string(2, static_cast<char>('0' + (x * y + x) % 4));
    codes.push_back(row);
  }
  for (std::string command : {ppmtobmp + " -bpp=4 in.ppm > in.bmp",
                              magick + " in.ppm -type palette -compress none BMP3:in.bmp",
                              magick + " in.ppm -type palette -compress none in.bmp"}) {
    TempDir folder;
    write_file(folder.file("in.ppm"), ppm_text(codes));
    ASSERT_EQ(shell("cd " + folder.path + " && " + command + " 2>/dev/null"), 0) << command;
    Bytes bitmap = read_file(folder.file("in.bmp"));
    // Map each colour's palette index to the colour's code.
    std::vector<std::string> colours(4, "0");
    for (int code = 0; code < 4; ++code) {
      int index = palette_index(bitmap, rgb_of_code[code]);
      ASSERT_TRUE(index >= 0 && index < 4) << command;
      colours[static_cast<std::size_t>(index)] = std::to_string(code);
    }
    std::vector<std::string> expected;
    for (const std::string& row : codes) {
      std::string half;
      for (std::size_t x = 1; x < row.size(); x += 2) half += row[x];
      expected.push_back(half);
    }
    Conversion result = convert(folder, bitmap, {"none", "0", colours});
    EXPECT_EQ(multicolour_picture(sprite_of(result, 0)), expected) << command;
  }
}

TEST(RealEncoders, HiresSpriteMatchesThePicture) {
  REQUIRE_TOOL(magick, "convert");
  REQUIRE_TOOL(ppmtobmp, "ppmtobmp");
  std::vector<std::string> picture;
  for (int y = 0; y < 21; ++y) {
    std::string row;
    for (int x = 0; x < 24; ++x) row += (x * x + y) % 3 == 0 ? '#' : '.';
    picture.push_back(row);
  }
  for (std::string command :
       {ppmtobmp + " -bpp=1 in.pbm > in.bmp", magick + " in.pbm -type bilevel BMP3:in.bmp"}) {
    TempDir folder;
    write_file(folder.file("in.pbm"), pbm_text(picture));
    ASSERT_EQ(shell("cd " + folder.path + " && " + command + " 2>/dev/null"), 0) << command;
    Bytes bitmap = read_file(folder.file("in.bmp"));
    // '#' is black; complement when the encoder made black index 0.
    std::string invert = palette_index(bitmap, "0 0 0") == 0 ? "1" : "0";
    Conversion result = convert(folder, bitmap, {"none", "0", {invert, "0", "0", "0"}});
    EXPECT_EQ(hires_picture(sprite_of(result, 0)), picture) << command;
  }
}
