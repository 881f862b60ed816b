// Reading and checking the bitmap headers, through the real program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/scenario.hpp"

namespace {

using namespace testing_support;

const std::string mode_error =
    "BMP mode error: Image is not in 4bit/8bit indexed colours or 1 bit black/white mode.";

std::vector<std::string> opening_lines() {
  return {banner_line, description_line, "", "Opening file \"in.bmp\" for reading...", ""};
}

std::string console(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return lines(head);
}

Bytes standard_bitmap(int bits) {
  return encode_bmp({.bits = bits, .pixels = sprite_sized_pixels(bits == 1 ? 2 : 16)});
}

TEST(HeaderRefusal, NoSignatureClosesTheInputAndStops) {
  for (std::string start :
       {std::string(), std::string("B"), std::string("MB"), std::string("bm")}) {
    TempDir folder;
    Bytes bitmap = standard_bitmap(4);
    if (start.size() < 2)
      bitmap.assign(start.begin(), start.end());
    else
      std::copy(start.begin(), start.end(), bitmap.begin());
    Conversion result = convert(folder, bitmap);
    EXPECT_EQ(result.run.status, 1) << start;
    EXPECT_EQ(result.run.output,
              console(opening_lines(), {"load_header... ERROR: Cannot find BMP header. Aborting...",
                                        "Closing file..."}))
        << start;
    EXPECT_FALSE(result.output_exists);
  }
}

TEST(HeaderRefusal, DepthsOtherThan1_4_8) {
  for (int depth : {0, 2, 16, 24, 32, 257}) {
    TempDir folder;
    Bytes bitmap = standard_bitmap(4);
    put_u16(bitmap, at_biBitCount, static_cast<std::uint16_t>(depth));
    Conversion result = convert(folder, bitmap);
    EXPECT_EQ(result.run.status, 1) << depth;
    EXPECT_EQ(result.run.output,
              console(opening_lines(), {"load_header... [54 bytes read] done.", mode_error}))
        << depth;
    EXPECT_FALSE(result.output_exists);
  }
}

TEST(HeaderRefusal, CompressionComesAfterTheModeLine) {
  for (int compression : {1, 2, 3, -1}) {
    TempDir folder;
    Bytes bitmap = standard_bitmap(4);
    put_i32(bitmap, at_biCompression, compression);
    Conversion result = convert(folder, bitmap);
    EXPECT_EQ(result.run.status, 1);
    EXPECT_EQ(result.run.output,
              console(opening_lines(), {"load_header... [54 bytes read] done.",
                                        "Image is in 4 bit indexed colours mode.",
                                        "Image is compressed - aborting..."}))
        << compression;
  }
}

TEST(ShortFile, FieldsAreBuiltFromTheBytesThatArrived) {
  const struct {
    std::size_t length;
    int bits;
    std::vector<std::string> tail;
    int status;
  } cases[] = {
      {2, 4, {"load_header... [2 bytes read] done.", mode_error}, 1},
      {29,
       8,
       {"load_header... [29 bytes read] done.", "Image is in 8 bit indexed colours mode."},
       0},
      {30,
       8,
       {"load_header... [30 bytes read] done.", "Image is in 8 bit indexed colours mode."},
       0},
  };
  for (const auto& c : cases) {
    TempDir folder;
    Bytes bitmap = standard_bitmap(c.bits);
    bitmap.resize(c.length);
    Conversion result = convert(folder, bitmap);
    EXPECT_EQ(result.run.status, c.status) << c.length;
    EXPECT_TRUE(result.run.output.starts_with(console(opening_lines(), c.tail))) << c.length;
  }
}

TEST(ShortFile, HalfACompressionFieldStillRefuses) {
  TempDir folder;
  Bytes bitmap = standard_bitmap(4);
  put_i32(bitmap, at_biCompression, 1);
  bitmap.resize(32);
  Conversion result = convert(folder, bitmap);
  EXPECT_EQ(result.run.status, 1);
  EXPECT_EQ(result.run.output, console(opening_lines(), {"load_header... [32 bytes read] done.",
                                                         "Image is in 4 bit indexed colours mode.",
                                                         "Image is compressed - aborting..."}));
}

// A longer info header (ImageMagick's 108 or 124 bytes) moves the palette and
// the pixels; the bytes it adds are passed over. A top-down bitmap converts
// no multicolour row.
TEST(HeaderAccepted, TopDownAndLongerInfoHeaders) {
  const struct {
    int info_size;
    bool top_down;
  } cases[] = {{40, true}, {108, false}, {124, false}};
  TempDir reference;
  Bytes expected = convert(reference, standard_bitmap(4)).output;
  for (const auto& c : cases) {
    Bytes bitmap = standard_bitmap(4);
    int added = c.info_size - 40;
    bitmap.insert(bitmap.begin() + 54, static_cast<std::size_t>(added), 0xFF);
    put_i32(bitmap, at_biSize, c.info_size);
    put_i32(bitmap, at_bfOffBits, (bitmap[10] | bitmap[11] << 8) + added);
    put_i32(bitmap, at_bfSize, static_cast<std::int32_t>(bitmap.size()));
    if (c.top_down) put_i32(bitmap, at_biHeight, -21);
    TempDir folder;
    Conversion result = convert(folder, bitmap);
    EXPECT_EQ(result.run.status, 0) << c.info_size;
    EXPECT_TRUE(result.run.output.starts_with(console(
        opening_lines(),
        {"load_header... [54 bytes read] done.", "Image is in 4 bit indexed colours mode."})));
    EXPECT_EQ(result.output, c.top_down ? Bytes({0x00, 0x20}) : expected) << c.info_size;
  }
}

TEST(InputFile, MissingFileIsError2BeforeAnyHeaderLine) {
  TempDir folder;
  RunResult run = run_program({"none.bmp", "out.prg", "2000", "0", "0", "1", "2", "3"},
                              {.working_directory = folder.path});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output,
            lines({banner_line, description_line, "", "Opening file \"none.bmp\" for reading..."}));
  EXPECT_EQ(report_problem(run.error, 2), "");
}

TEST(InputFile, MissingFolderIs3AndFolderIs5) {
  const struct {
    std::string name;
    int status;
  } cases[] = {{"nofolder/in.bmp", 3}, {"nofolder\\in.bmp", 3}, {"sub", 5}, {".", 5}};
  for (const auto& c : cases) {
    TempDir folder;
    ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
    RunResult run = run_program({c.name, "out.prg", "2000", "0", "0", "1", "2", "3"},
                                {.working_directory = folder.path});
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(report_problem(run.error, c.status), "") << c.name;
    EXPECT_FALSE(file_exists(folder.file("out.prg")));
  }
}

TEST(InputFile, BackslashSeparatesFolders) {
  TempDir folder;
  ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
  write_file(folder.file("sub/in.bmp"), standard_bitmap(4));
  RunResult run = run_program({"sub\\in.bmp", "out.prg", "2000", "0", "0", "1", "2", "3"},
                              {.working_directory = folder.path});
  EXPECT_EQ(run.status, 0);
}

TEST(InputFile, EmptyNameReadsStandardOutputAndFailsWith6) {
  TempDir folder;
  RunResult run = run_program({"", "out.prg", "2000", "0", "0", "1", "2", "3"},
                              {.working_directory = folder.path});
  EXPECT_EQ(run.status, 6);
  EXPECT_TRUE(run.output.ends_with("\r\nload_header... "));
}

// A FIFO never makes a run wait for a writer that is not there: it then reads
// as empty. With a writer it is a pipe, which cannot seek to the pixel data:
// a seek error, 156, on every platform; the checker checks what it reads.
TEST(InputFile, FifoReadsAsAPipeOrAsEmpty) {
  const std::string empty =
      "load_header... ERROR: Cannot find BMP header. Aborting...\r\n"
      "Closing file...\r\n";
  const struct {
    std::string name;
    bool writer, checker;
    int status;
    std::string output_end;
  } cases[] = {
      {"a writer", true, false, 156, "Converting it to a multicolor sprite\r\n"},
      {"no writer", false, false, 1, empty},
      {"checked, a writer", true, true, 0, ""},
      {"checked, no writer", false, true, 1, "in.bmp: error: the file is empty"},
  };
  for (const auto& c : cases) {
    if (!c.writer && !platform_can(Capability::named_pipes)) continue;  // Windows has none
    TempDir folder;
    Fifo fifo(folder.file("in.bmp"), encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(4)}),
              c.writer);
    std::vector<std::string> arguments = {"in.bmp", "out.prg", "none", "0", "0", "1", "2", "3"};
    RunResult run = run_program(
        arguments, {.working_directory = folder.path, .program = c.checker ? checker_path() : ""});
    EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.output << run.error;
    bool shown =
        c.checker ? run.output.starts_with(c.output_end) : run.output.ends_with(c.output_end);
    EXPECT_TRUE(shown) << c.name << "\n" << run.output;
    if (c.status > 1) {
      EXPECT_EQ(report_problem(run.error, c.status), "") << c.name;
    }
  }
}

// Bitmaps written by general tools are read right.
TEST(RealEncoders, ImageMagickAndNetpbmHeadersAreAccepted) {
  REQUIRE_TOOL(convert, "convert");
  REQUIRE_TOOL(ppmtobmp, "ppmtobmp");
  const std::string four_colours =
      "xc:red -fill blue -draw 'point 3,4' -fill green -draw 'point 5,5' -type palette";
  const struct {
    std::string command;
    int bits;
  } cases[] = {
      {convert + " -size 24x21 xc:black -fill white -draw 'point 3,4' -type bilevel BMP3:in.bmp",
       1},
      {convert + " -size 24x21 " + four_colours + " BMP3:in.bmp", 4},
      {convert + " -size 24x21 " + four_colours + " in.bmp", 4},
      {convert + " -size 24x21 gradient:red-blue -type palette -compress none BMP3:in.bmp", 8},
      {convert + " -size 24x21 gradient:red-blue -type palette -compress none in.bmp", 8},
      {"ppmmake rgb:ff/00/00 24 21 | " + ppmtobmp + " -bpp=1 > in.bmp", 1},
      {"ppmmake rgb:ff/00/00 24 21 | " + ppmtobmp + " -bpp=4 > in.bmp", 4},
      {"ppmmake rgb:ff/00/00 24 21 | " + ppmtobmp + " -bpp=8 > in.bmp", 8},
  };
  for (const auto& c : cases) {
    TempDir folder;
    ASSERT_EQ(shell("cd " + folder.path + " && " + c.command + " 2>/dev/null"), 0) << c.command;
    RunResult run = run_program({"in.bmp", "out.prg", "none", "0", "0", "1", "2", "3"},
                                {.working_directory = folder.path});
    EXPECT_EQ(run.status, 0) << c.command;
    std::vector<std::string> expected = header_lines("in.bmp", 54, c.bits);
    EXPECT_TRUE(run.output.starts_with(lines(expected))) << c.command << "\n" << run.output;
  }
}

}  // namespace
