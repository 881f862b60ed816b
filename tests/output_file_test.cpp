// The output file: its creation, load address and trailing zero byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/scenario.hpp"

namespace {

using namespace testing_support;

Bytes standard_bitmap() {
  return encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(16)});
}

std::vector<std::string> arguments(const std::string& inname, const std::string& outname) {
  return {inname, outname, "2000", "0", "0", "1", "2", "3"};
}

TEST(OutputLayout, AddressAndZeroByteMake63To66Bytes) {
  const struct {
    std::string startaddress;
    std::string add_zero_byte;
    std::size_t size;
  } cases[] = {
      {"none", "0", 63},  {"none", "1", 64},  {"2000", "0", 65},  {"2000", "1", 66},
      {"none", "01", 63}, {"none", " 1", 63}, {"none", "1 ", 63}, {"none", "on", 63},
  };
  Bytes sprite;
  for (const auto& c : cases) {
    TempDir folder;
    Conversion result = convert(folder, standard_bitmap(), {c.startaddress, c.add_zero_byte});
    ASSERT_EQ(result.run.status, 0);
    ASSERT_EQ(result.output.size(), c.size) << c.startaddress << " " << c.add_zero_byte;
    std::size_t start = c.startaddress == "none" ? 0 : 2;
    Bytes body(result.output.begin() + static_cast<long>(start),
               result.output.begin() + static_cast<long>(start) + 63);
    if (sprite.empty()) sprite = body;
    EXPECT_EQ(body, sprite) << "the sprite bytes do not depend on the layout";
    if (c.add_zero_byte == "1") {
      EXPECT_EQ(result.output.back(), 0);
    }
  }
}

TEST(OutputLayout, ZeroByteLineComesBeforeClosing) {
  TempDir folder;
  Conversion result = convert(folder, standard_bitmap(), {"none", "1"});
  EXPECT_NE(
      result.run.output.find(
          "\r\nloadwrite_bitmap: done.\r\nAdding one byte to the output binary (for packing "
          "multiple sprites for example)...\r\nClosing file...\r\n306 bytes totally read.\r\n"),
      std::string::npos);
}

TEST(LoadAddress, LowByteFirstFromTheHexDigits) {
  const struct {
    std::string startaddress;
    std::uint8_t low, high;
  } cases[] = {
      {"2000", 0x00, 0x20},  {"0801", 0x01, 0x08}, {"c000", 0x00, 0xC0}, {"C000", 0x00, 0xC0},
      {"$c000", 0x00, 0x0C}, {"None", 0x0E, 0x00}, {"NONE", 0x0E, 0x00}, {"c0001", 0x00, 0xC0},
      {"abc", 0xC0, 0xAB},   {"1", 0x00, 0x10},    {"", 0x00, 0x00},     {"zz", 0x00, 0x00},
  };
  for (const auto& c : cases) {
    TempDir folder;
    Conversion result = convert(folder, standard_bitmap(), {c.startaddress, "0"});
    ASSERT_EQ(result.output.size(), 65u) << c.startaddress;
    EXPECT_EQ(result.output[0], c.low) << c.startaddress;
    EXPECT_EQ(result.output[1], c.high) << c.startaddress;
    EXPECT_NE(result.run.output.find("\r\nOpening file \"out.prg\" ($" + c.startaddress +
                                     ") for writing...\r\n"),
              std::string::npos);
  }
}

TEST(OutputFile, ExistingLongerFileIsReplaced) {
  TempDir folder;
  write_file(folder.file("out.prg"), std::string(1000, 'x'));
  Conversion result = convert(folder, standard_bitmap());
  EXPECT_EQ(result.output.size(), 65u);
}

TEST(OutputFile, RefusedCreationEndsWithTheErrorNumber) {
  const struct {
    std::string outname;
    int status;
  } cases[] = {{"nofolder/out.prg", 3}, {"sub", 5}, {"in.bmp/out.prg", 3}};
  for (const auto& c : cases) {
    TempDir folder;
    ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
    write_file(folder.file("in.bmp"), standard_bitmap());
    RunResult run = run_program(arguments("in.bmp", c.outname), {.working_directory = folder.path});
    EXPECT_EQ(run.status, c.status) << c.outname;
    EXPECT_EQ(report_problem(run.error, c.status), "");
    EXPECT_TRUE(
        run.output.ends_with("Opening file \"" + c.outname + "\" ($2000) for writing...\r\n"));
  }
}

TEST(OutputFile, FullDeviceFailsAtTheFirstWrite) {
  TempDir folder;
  write_file(folder.file("in.bmp"), standard_bitmap());
  RunResult run = run_program(arguments("in.bmp", "/dev/full"), {.working_directory = folder.path});
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(report_problem(run.error, 101), "");
  run = run_program(arguments("in.bmp", "/dev/null"), {.working_directory = folder.path});
  EXPECT_EQ(run.status, 0);
}

// Naming the input as the output, directly or through another link, must never
// destroy the bitmap.
TEST(OutputFile, InputIsNeverOverwritten) {
  for (std::string outname : {"in.bmp", "./in.bmp", "hard.bmp", "soft.bmp"}) {
    TempDir folder;
    Bytes bitmap = standard_bitmap();
    write_file(folder.file("in.bmp"), bitmap);
    ASSERT_EQ(link(folder.file("in.bmp").c_str(), folder.file("hard.bmp").c_str()), 0);
    ASSERT_EQ(symlink("in.bmp", folder.file("soft.bmp").c_str()), 0);
    RunResult run = run_program(arguments("in.bmp", outname), {.working_directory = folder.path});
    EXPECT_EQ(run.status, 5) << outname;
    EXPECT_EQ(read_file(folder.file("in.bmp")), bitmap) << outname;
  }
}

TEST(OutputFile, LongNameIsUsedWholeAndCutOnlyOnTheConsole) {
  TempDir folder;
  std::string directory(150, 'd');
  ASSERT_EQ(mkdir(folder.file(directory).c_str(), 0755), 0);
  std::string outname = directory + "/" + std::string(149, 'o');
  ASSERT_EQ(outname.size(), 300u);
  write_file(folder.file("in.bmp"), standard_bitmap());
  RunResult run = run_program(arguments("in.bmp", outname), {.working_directory = folder.path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(folder.file(outname)).size(), 65u);
  std::string line = ("Opening file \"" + outname).substr(0, 255);
  EXPECT_NE(run.output.find("\r\n" + line + "\r\n"), std::string::npos);
}

TEST(OutputFile, EmptyNameWritesAmongTheConsoleLines) {
  TempDir folder;
  Bytes bitmap = standard_bitmap();
  write_file(folder.file("in.bmp"), bitmap);
  RunResult run = run_program({"in.bmp", "", "2000", "1", "0", "1", "2", "3"},
                              {.working_directory = folder.path});
  EXPECT_EQ(run.status, 0);
  std::string opening = "Opening file \"\" ($2000) for writing...\r\n";
  std::size_t at = run.output.find(opening);
  ASSERT_NE(at, std::string::npos);
  std::string after = run.output.substr(at + opening.size());
  EXPECT_EQ(after.substr(0, 2), std::string("\x00\x20", 2));
  std::string sizes = "252 bytes bitmap data.\r\n";
  EXPECT_EQ(after.substr(2, sizes.size()), sizes);
  EXPECT_NE(run.output.find("...\r\n" + std::string(1, '\0') + "Closing file..."),
            std::string::npos);
}

}  // namespace
