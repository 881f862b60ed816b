// Thousands of hostile bitmaps and argument texts, seeded and reproducible,
// through the real program: every run must end in a defined way, say only the
// program's own lines, and, when it succeeds, write exactly the predicted bytes.
//
// QUORVEL_ROBUSTNESS_SEED and QUORVEL_ROBUSTNESS_CASES change the default run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <sstream>

#include "support/scenario.hpp"

namespace {

using namespace testing_support;

int environment_number(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atoi(text) : fallback;
}

// The header as the program decodes it: bytes past the end of a short file count as 0.
std::int32_t field(const Bytes& file, std::size_t offset, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i)
    if (offset + i < file.size()) value |= std::uint32_t{file[offset + i]} << (8 * i);
  return static_cast<std::int32_t>(value);
}

std::int32_t as_int16(std::int64_t value) {
  std::int32_t low = static_cast<std::int32_t>(value & 0xFFFF);
  return low >= 0x8000 ? low - 0x10000 : low;
}

struct Prediction {
  int status;                     // 0, 1 or 131
  std::int64_t sprite_bytes = 0;  // when the status is 0
  std::int64_t pixel_reads = 0;   // an upper bound of the work
};

// What the header makes the program do, worked out independently of its code.
Prediction predict(const Bytes& file) {
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') return {1};
  std::int32_t bits = field(file, 28, 2);
  if (bits != 1 && bits != 4 && bits != 8) return {1};
  if (field(file, 30, 4) != 0) return {1};
  std::int64_t offset = field(file, 10, 4);
  if (bits == 1) return {offset < 0 ? 131 : 0, 63, 63};
  std::int32_t width = field(file, 18, 4);
  std::int32_t row_length = as_int16(bits == 4 ? std::int64_t{static_cast<std::uint32_t>(width) / 2}
                                               : std::int64_t{width});
  std::int32_t steps = bits == 4 ? as_int16(row_length - 1) + 1 : as_int16(row_length / 2 - 1) + 1;
  if (steps < 0) steps = 0;
  std::int32_t first_row = as_int16(std::int64_t{field(file, 22, 4)} - 1);
  if (first_row < 0) return {0, 0, 0};
  std::int64_t lowest = offset + std::min<std::int64_t>(0, std::int64_t{first_row} * row_length);
  std::int64_t rows = first_row + 1;
  return {lowest < 0 ? 131 : 0, rows * (steps / 4), rows * steps * (bits / 4)};
}

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  Bytes bitmap(int bits) {
    PixelRows pixels(static_cast<std::size_t>(pick(0, 30)),
                     std::vector<std::uint8_t>(static_cast<std::size_t>(pick(1, 40))));
    for (auto& row : pixels)
      for (auto& pixel : row) pixel = static_cast<std::uint8_t>(pick(0, (1 << bits) - 1));
    Bytes file = encode_bmp({.bits = bits, .pixels = pixels});
    for (int mutations = pick(0, 4); mutations > 0; --mutations) mutate(file);
    return file;
  }

  std::string text() {
    const std::string notations[] = {"",     "0",    "1",   "3",  "255",  "$ff",
                                     "0x10", "%11",  "&17", "-1", "none", "2000",
                                     "c000", "C000", " 2",  "2 ", "x1F"};
    if (pick(0, 2) > 0) return notations[pick(0, std::size(notations) - 1)];
    std::string random_text(static_cast<std::size_t>(pick(0, 12)), ' ');
    for (char& c : random_text) c = static_cast<char>(pick(32, 126));
    return random_text;
  }

 private:
  std::int32_t value() {
    switch (pick(0, 5)) {
      case 0:
        return 0;
      case 1:
        return -1;
      case 2:
        return pick(0, 1) ? INT32_MIN : INT32_MAX;
      case 3:
        return pick(-300, 300);
      case 4:
        return pick(0, 70000);
      default:
        return static_cast<std::int32_t>(random_());
    }
  }

  void mutate(Bytes& file) {
    const std::size_t fields[][2] = {{2, 4},  {6, 2},  {8, 2},  {10, 4}, {14, 4}, {18, 4},
                                     {22, 4}, {26, 2}, {28, 2}, {30, 4}, {34, 4}, {46, 4}};
    switch (pick(0, 4)) {
      case 0:
      case 1: {
        const auto& [offset, size] = fields[pick(0, std::size(fields) - 1)];
        std::int32_t v = value();
        for (std::size_t i = 0; i < size && offset + i < file.size(); ++i)
          file[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
        break;
      }
      case 2:
        file.resize(static_cast<std::size_t>(pick(0, static_cast<int>(file.size()))));
        break;
      case 3:
        if (!file.empty())
          file[static_cast<std::size_t>(pick(0, static_cast<int>(file.size()) - 1))] ^=
              static_cast<std::uint8_t>(1 << pick(0, 7));
        break;
      default:
        for (int extra = pick(1, 200); extra > 0; --extra)
          file.push_back(static_cast<std::uint8_t>(pick(0, 255)));
    }
  }

  std::mt19937 random_;
};

// Every line the program can write, with the arguments of this run.
bool own_line(const std::string& line, const std::string& startaddress) {
  static const std::regex patterns(
      "|Quorvel v1\\.4 \\[06\\.06\\.2017\\] \\*\\*\\* by Brannick"
      "|Description: Reads a 16color \\(4bit/8bit\\) or black/white \\(1bit\\) 24x21 pixel bmp and "
      "writes a binary for c64\\."
      "|Opening file \"in\\.bmp\" for reading\\.\\.\\."
      "|load_header\\.\\.\\. \\[\\d+ bytes read\\] done\\."
      "|load_header\\.\\.\\. ERROR: Cannot find BMP header\\. Aborting\\.\\.\\."
      "|Image is in (1 bit black/white|4 bit indexed colours|8 bit indexed colours) mode\\."
      "|BMP mode error: Image is not in 4bit/8bit indexed colours or 1 bit black/white mode\\."
      "|Image is compressed - aborting\\.\\.\\."
      "|-?\\d+ bytes bitmap data\\."
      "|Filesize error: -?\\d+ bytes are incorrect! A (black/white|4bit \\(4 colour\\)) 24x21 "
      "image "
      "should have exactly (84|252) bytes!"
      "|Starting at position: -?\\d+ byte"
      "|Image is in 1 bit black/white mode: Converting it to a hires sprite"
      "|Information: First colour is not 0: Inverting colours"
      "|Image is in (4|8) bit indexed colours mode: Converting it to a multicolor sprite"
      "|loadwrite_bitmap: done\\."
      "|Adding one byte to the output binary \\(for packing multiple sprites for "
      "example\\)\\.\\.\\."
      "|Closing file\\.\\.\\."
      "|-?\\d+ bytes totally read\\.");
  return line == "Opening file \"out.prg\" ($" + startaddress + ") for writing..." ||
         std::regex_match(line, patterns);
}

std::string console_problem(const std::string& output, const std::string& startaddress) {
  if (!output.empty() && !output.ends_with("\r\n")) return "the last line is not ended";
  std::size_t start = 0;
  for (std::size_t end; (end = output.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string line = output.substr(start, end - start);
    if (!own_line(line, startaddress)) return "not the program's line: [" + line + "]";
  }
  return "";
}

void run_cases(int bits, unsigned seed, int count) {
  Generator generate(seed);
  TempDir folder;
  int done = 0;
  std::map<int, int> outcomes;  // exit status: runs
  while (done < count) {
    Bytes bitmap = generate.bitmap(bits);
    Prediction expected = predict(bitmap);
    if (expected.sprite_bytes > 65536 || expected.pixel_reads > (1 << 20))
      continue;  // huge but legitimate
    Settings settings{generate.text(),
                      generate.pick(0, 1) ? "1" : generate.text(),
                      {generate.text(), generate.text(), generate.text(), generate.text()}};
    std::ostringstream name;
    name << "seed " << seed << " case " << done << " (" << bits << " bit)";
    SCOPED_TRACE(name.str());
    Conversion result = convert(folder, bitmap, settings);
    ++done;
    ++outcomes[expected.status];
    ASSERT_EQ(result.run.signal, 0);
    ASSERT_EQ(result.run.status, expected.status) << result.run.output << result.run.error;
    ASSERT_EQ(console_problem(result.run.output, settings.startaddress), "");
    if (expected.status == 131) {
      ASSERT_EQ(report_problem(result.run.error, 131), "");
      continue;
    }
    ASSERT_EQ(result.run.error, "");
    if (expected.status == 0) {
      std::int64_t size = (settings.startaddress == "none" ? 0 : 2) + expected.sprite_bytes +
                          (settings.add_zero_byte == "1" ? 1 : 0);
      ASSERT_EQ(static_cast<std::int64_t>(result.output.size()), size);
    }
  }
  // The generator must keep reaching conversions, refusals and bad offsets alike.
  std::cout << bits << " bit: " << outcomes[0] << " converted, " << outcomes[1] << " refused, "
            << outcomes[131] << " negative seeks\n";
  for (int status : {0, 1, 131}) EXPECT_GE(outcomes[status] * 100, count) << "status " << status;
}

unsigned base_seed() {
  return static_cast<unsigned>(environment_number("QUORVEL_ROBUSTNESS_SEED", 20261208));
}
int case_count() {
  return environment_number("QUORVEL_ROBUSTNESS_CASES", 1000);
}

TEST(Robustness, HostileOneBitBitmaps) {
  run_cases(1, base_seed(), case_count());
}
TEST(Robustness, HostileFourBitBitmaps) {
  run_cases(4, base_seed() + 1, case_count());
}
TEST(Robustness, HostileEightBitBitmaps) {
  run_cases(8, base_seed() + 2, case_count());
}

}  // namespace
