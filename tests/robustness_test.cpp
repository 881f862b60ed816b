// Thousands of hostile bitmaps and argument texts, seeded and reproducible,
// through the real program: every run must end in a defined way, say only the
// program's own lines, and, when it succeeds, write exactly the predicted bytes.
//
// QUORVEL_ROBUSTNESS_SEED and QUORVEL_ROBUSTNESS_CASES change the default run.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include "c64/palettes.hpp"
#include "check/checks.hpp"
#include "support/scenario.hpp"

namespace {

using namespace testing_support;

// A number text of `length` characters: zeros, then `end`.
std::string long_text(std::size_t length, const std::string& end) {
  return std::string(length - end.size(), '0') + end;
}

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

  // One way people break a right picture or its arguments.
  void break_one(Bytes& bitmap, Settings& settings) {
    const std::string addresses[] = {"49152",
                                     "",
                                     "2g00",
                                     "$",
                                     "x2000",
                                     "12345",
                                     "c0001",
                                     "000",
                                     "$00fb",
                                     "0x10000",
                                     long_text(256, "2000")};
    const std::string texts[] = {"6",   "10", "-1", "ff",  "one",
                                 "300", "4",  "-0", "256", long_text(256, "01"),
                                 "yes", "01", " 1", "2 "};
    std::size_t pixels_at = static_cast<std::size_t>(field(bitmap, 10, 4));
    switch (pick(0, 10)) {
      case 0:  // one pixel of another index: any, or index 4
        if (pixels_at < bitmap.size())
          bitmap[static_cast<std::size_t>(
              pick(static_cast<int>(pixels_at), static_cast<int>(bitmap.size()) - 1))] =
              static_cast<std::uint8_t>(pick(0, 1)                  ? pick(0, 255)
                                        : field(bitmap, 28, 2) == 4 ? 0x44
                                                                    : 4);
        break;
      case 1:
        mutate(bitmap);
        break;
      case 2:  // top-down, where an earlier cut left the height
        if (bitmap.size() >= at_biHeight + 4) put_i32(bitmap, at_biHeight, -field(bitmap, 22, 4));
        break;
      case 3:
        if (bitmap.size() >= at_biWidth + 4) put_i32(bitmap, at_biWidth, pick(0, 1) ? 32 : 12);
        break;
      case 4:
        bitmap.resize(static_cast<std::size_t>(pick(0, static_cast<int>(bitmap.size()))));
        break;
      case 5:
        if (!bitmap.empty()) bitmap.pop_back();  // one byte short
        break;
      case 6:
        settings.startaddress = addresses[pick(0, std::size(addresses) - 1)];
        break;
      case 7:
        settings.add_zero_byte = texts[pick(9, 13)];
        break;
      default:
        settings.colours[static_cast<std::size_t>(pick(0, 3))] = texts[pick(0, 9)];
    }
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
  static const std::string patterns =
      "Quorvel v1\\.4 \\[06\\.06\\.2017\\] \\*\\*\\* by Brannick"
      "|Description: Reads a 16color \\(4bit/8bit\\) or black/white \\(1bit\\) 24x21 pixel bmp and "
      "writes a binary for c64\\."
      "|Opening file \"in\\.bmp\" for reading\\.\\.\\."
      "|load_header\\.\\.\\. \\[[0-9]+ bytes read\\] done\\."
      "|load_header\\.\\.\\. ERROR: Cannot find BMP header\\. Aborting\\.\\.\\."
      "|Image is in (1 bit black/white|4 bit indexed colours|8 bit indexed colours) mode\\."
      "|BMP mode error: Image is not in 4bit/8bit indexed colours or 1 bit black/white mode\\."
      "|Image is compressed - aborting\\.\\.\\."
      "|-?[0-9]+ bytes bitmap data\\."
      "|Filesize error: -?[0-9]+ bytes are incorrect! A (black/white|4bit \\(4 colour\\)) 24x21 "
      "image "
      "should have exactly (84|252) bytes!"
      "|Starting at position: -?[0-9]+ byte"
      "|Image is in 1 bit black/white mode: Converting it to a hires sprite"
      "|Information: First colour is not 0: Inverting colours"
      "|Image is in (4|8) bit indexed colours mode: Converting it to a multicolor sprite"
      "|loadwrite_bitmap: done\\."
      "|Adding one byte to the output binary \\(for packing multiple sprites for "
      "example\\)\\.\\.\\."
      "|Closing file\\.\\.\\."
      "|-?[0-9]+ bytes totally read\\.";
  return line.empty() ||
         line == "Opening file \"out.prg\" ($" + startaddress + ") for writing..." ||
         matches_whole(line, patterns);
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
    if (expected.sprite_bytes > 65536 || expected.pixel_reads > (1 << 16))
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

// The sprite file a picture shows with the given arguments, worked out here
// independently of the program: only for a 24 by 21 bottom-up picture drawn as
// a sprite is drawn (pairs of equal pixels, indices 0 to 3; for 1 bit, one of
// indices 0 and 1 the background), with arguments that say one thing only.
// Empty when the picture and the arguments show no one sprite.
std::optional<Bytes> shown_sprite_file(const Bytes& file, const Settings& settings);

// A colour argument's value as the README documents the notations.
std::optional<unsigned> documented_colour(std::string text) {
  if (text.size() > 255) return std::nullopt;  // the program reads 255 characters
  text.erase(0, text.find_first_not_of(" \t"));
  bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '+' || negative)) text.erase(0, 1);
  int base = 10;
  for (auto [prefix, radix] :
       {std::pair{"0x", 16}, {"0X", 16}, {"$", 16}, {"x", 16}, {"X", 16}, {"%", 2}, {"&", 8}})
    if (text.starts_with(prefix)) {
      text.erase(0, std::string(prefix).size());
      base = radix;
      break;
    }
  if (text.empty() || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, base);
  if (errno != 0 || *end != '\0' || value > 255 || (negative && value != 0)) return std::nullopt;
  return static_cast<unsigned>(value);
}

// The load address bytes a start address asks for; empty for none, nullopt
// when the text is no documented address.
std::optional<Bytes> documented_address(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "none") return Bytes{};
  std::string digits = text;
  for (std::string prefix : {"$", "0x", "0X"})
    if (digits.starts_with(prefix)) {
      digits.erase(0, prefix.size());
      break;
    }
  // A C64 address: one to four hex digits, outside the zero page and the stack.
  if (digits.empty() || digits.size() > 4 ||
      digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  unsigned value = static_cast<unsigned>(std::stoul(digits, nullptr, 16));
  if (value < 0x200) return std::nullopt;
  return Bytes{static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

// A palette entry's colour as 0xRRGGBB.
std::uint32_t entry_colour(const Bytes& file, int entry) {
  std::size_t at =
      14 + static_cast<std::size_t>(field(file, 14, 4)) + 4 * static_cast<std::size_t>(entry);
  if (at + 3 > file.size() || static_cast<std::int64_t>(at) + 4 > field(file, 10, 4))
    return 0x1000000;
  return std::uint32_t{file[at + 2]} << 16 | std::uint32_t{file[at + 1]} << 8 | file[at];
}

// In a picture drawn in a published C64 palette (entry n colour n), indices
// above 3 all of one C64 colour show that colour as the background, when no
// index 0 to 3 gives code 0: the codes of indices 4 and up, or none.
std::optional<unsigned> background_code(const Bytes& file, const std::set<int>& used,
                                        const std::vector<unsigned>& codes) {
  std::set<int> above;
  for (int index : used)
    if (index > 3) above.insert(index & 15);
  if (above.empty()) return 0;  // nothing to show
  int colour = *above.begin();
  if (above.size() != 1 || colour <= 3) return std::nullopt;
  for (int index : used)
    if ((index & 15) <= 3 && codes[static_cast<std::size_t>(index & 15)] == 0) return std::nullopt;
  for (const c64::Palette& palette : c64::palettes) {
    bool all = true;
    for (int index : used) {
      int number = index <= 15 ? index : index & 15;
      if (index > 15 && number <= 3) continue;
      all = all && c64::within_tolerance(entry_colour(file, index),
                                         palette.rgb[static_cast<std::size_t>(number)]);
    }
    if (all) return 0;
  }
  return std::nullopt;
}

std::optional<Bytes> shown_sprite_file(const Bytes& file, const Settings& settings) {
  std::int32_t bits = field(file, 28, 2);
  std::int32_t offset = field(file, 10, 4);
  std::size_t stride = bits == 1 ? 4 : bits == 4 ? 12 : 24;
  // A hires sprite is read from fixed places, so a top-down one comes out
  // upside down; it is the picture only where that reads the same.
  bool top_down = bits == 1 && field(file, 22, 4) == -21;
  // The bytes the program reads: three of each hires row, whole rows otherwise.
  std::size_t needed = bits == 1 ? 20 * stride + 3 : 21 * stride;
  bool standard = file.size() >= 54 && file[0] == 'B' && file[1] == 'M' &&
                  field(file, 14, 4) != 12 && (bits == 1 || bits == 4 || bits == 8) &&
                  field(file, 30, 4) == 0 && field(file, 18, 4) == 24 &&
                  (field(file, 22, 4) == 21 || top_down) && offset >= 54 &&
                  static_cast<std::size_t>(offset) + needed <= file.size();
  std::optional<Bytes> address = documented_address(settings.startaddress);
  bool zero_byte = settings.add_zero_byte == "1";
  if (!standard || !address || (!zero_byte && settings.add_zero_byte != "0")) return std::nullopt;
  std::vector<unsigned> codes;
  for (int i = 0; i < 4; ++i) {
    std::optional<unsigned> code = documented_colour(settings.colours[static_cast<std::size_t>(i)]);
    if (!code || *code > 3) return std::nullopt;
    codes.push_back(*code);
  }
  if (bits == 1 && (codes[0] == 0) == (codes[1] == 0)) return std::nullopt;
  auto index = [&](int x, int y) {  // top row first
    std::size_t row = static_cast<std::size_t>(top_down ? y : 20 - y);
    std::size_t at =
        static_cast<std::size_t>(offset) + row * stride + static_cast<std::size_t>(x * bits / 8);
    std::uint8_t byte = file[at];
    return byte >> (8 - bits - x * bits % 8) & ((1 << bits) - 1);
  };
  std::set<int> used;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 24 && bits != 1; ++x) used.insert(index(x, y));
  std::optional<unsigned> above_code = background_code(file, used, codes);
  Bytes sprite = *address;
  for (int y = 0; y < 21; ++y) {
    std::uint32_t row = 0;  // 24 bits
    for (int x = 0; x < 24; x += bits == 1 ? 1 : 2) {
      int shown = index(x, y);
      if (bits == 1) {
        row = row << 1 | (codes[static_cast<std::size_t>(shown)] != 0 ? 1u : 0u);
        continue;
      }
      if ((shown > 3 && !above_code) || index(x + 1, y) != shown) return std::nullopt;
      row = row << 2 | (shown > 3 ? *above_code : codes[static_cast<std::size_t>(shown)]);
    }
    sprite.insert(sprite.end(),
                  {static_cast<std::uint8_t>(row >> 16), static_cast<std::uint8_t>(row >> 8),
                   static_cast<std::uint8_t>(row)});
  }
  if (zero_byte) sprite.push_back(0);
  return sprite;
}

// A picture drawn as a sprite should be, with arguments as documented, then
// broken in up to two of the ways people break them.
struct NearlyRight {
  Bytes bitmap;
  Settings settings;
};

NearlyRight nearly_right(Generator& generate) {
  int bits = std::array{1, 4, 8}[static_cast<std::size_t>(generate.pick(0, 2))];
  // A multicolour picture is drawn at indices 0 to 3, or, as C64 artists do,
  // in a C64 palette with the C64 colour numbers as indices.
  bool in_c64_palette = bits != 1 && generate.pick(0, 2) == 0;
  std::vector<std::uint8_t> inks = {0, 1, 2, 3};
  if (in_c64_palette)
    for (std::uint8_t& ink : inks) ink = static_cast<std::uint8_t>(generate.pick(0, 15));
  PixelRows pixels(21, std::vector<std::uint8_t>(24));
  for (auto& row : pixels)
    for (std::size_t x = 0; x < 24; x += 2)
      row[x] = row[x + 1] = inks[static_cast<std::size_t>(generate.pick(0, bits == 1 ? 1 : 3))];
  if (bits == 1)
    for (auto& row : pixels) row[1] = static_cast<std::uint8_t>(generate.pick(0, 1));
  const c64::Palette& palette = c64::palettes[static_cast<std::size_t>(generate.pick(0, 1))];
  std::vector<std::uint32_t> palette_colours;
  if (in_c64_palette) palette_colours.assign(palette.rgb.begin(), palette.rgb.end());
  const std::string addresses[] = {"2000", "$c000", "0x0801", "801",
                                   "none", "NONE",  "C000",   "0801"};
  const std::string colours[] = {"0", "1", "2", "3", "$3", "0x1", "%10", "&2", " 1", "+2", "x3"};
  auto colour = [&](int from, int to) {
    std::vector<std::string> forms;
    for (const std::string& form : colours)
      if (*documented_colour(form) >= static_cast<unsigned>(from) &&
          *documented_colour(form) <= static_cast<unsigned>(to))
        forms.push_back(form);
    return forms[static_cast<std::size_t>(generate.pick(0, static_cast<int>(forms.size()) - 1))];
  };
  Settings settings{addresses[generate.pick(0, std::size(addresses) - 1)],
                    generate.pick(0, 1) ? "1" : "0",
                    {colour(0, 3), colour(0, 3), colour(0, 3), colour(0, 3)}};
  if (bits == 1) settings.colours[static_cast<std::size_t>(generate.pick(0, 1))] = "0";
  if (bits == 1) settings.colours[0] = colour(0, 1), settings.colours[1] = colour(0, 1);
  if (bits == 1) settings.colours[2] = settings.colours[3] = "0";
  if (bits == 1 && settings.colours[0] == "0" && settings.colours[1] == "0")
    settings.colours[1] = colour(1, 1);
  if (bits == 1 && settings.colours[0] != "0" && settings.colours[1] != "0")
    settings.colours[0] = "0";
  NearlyRight run{encode_bmp({.bits = bits, .pixels = pixels, .colours = palette_colours}),
                  settings};
  for (int breaks = generate.pick(0, 2); breaks > 0; --breaks)
    generate.break_one(run.bitmap, run.settings);
  return run;
}

// Whenever quorvel-check finds nothing, the program writes the sprite the
// picture shows; whenever it writes another, quorvel-check has a finding.
void check_property(unsigned seed, int count) {
  Generator generate(seed);
  TempDir folder;
  std::map<std::string, int> outcomes;
  for (int done = 0; done < count; ++done) {
    NearlyRight run =
        done % 4 == 3
            ? NearlyRight{generate.bitmap(std::array{1, 4, 8}[static_cast<std::size_t>(done % 3)]),
                          {generate.text(),
                           generate.text(),
                           {generate.text(), generate.text(), generate.text(), generate.text()}}}
            : nearly_right(generate);
    SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(done));
    Conversion result = convert(folder, run.bitmap, run.settings);
    std::vector<std::string> arguments = {"in.bmp", "out.prg", run.settings.startaddress,
                                          run.settings.add_zero_byte};
    arguments.insert(arguments.end(), run.settings.colours.begin(), run.settings.colours.end());
    RunResult checked =
        run_program(arguments, {.working_directory = folder.path, .program = checker_path()});
    ASSERT_TRUE(checked.status == 0 || checked.status == 1) << checked.output << checked.error;
    bool found = checked.output.find(": warning: ") != std::string::npos ||
                 checked.output.find(": error: ") != std::string::npos;
    ASSERT_EQ(checked.status == 0, !found) << checked.output;
    std::optional<Bytes> shown = shown_sprite_file(run.bitmap, run.settings);
    bool right = shown && result.run.status == 0 && result.output == *shown;
    if (checked.status == 0) {
      ASSERT_TRUE(right) << "no finding, but the sprite is not the picture's: "
                         << run.settings.startaddress << " " << run.settings.add_zero_byte << " "
                         << run.settings.colours[0] << " " << run.settings.colours[1] << " "
                         << run.settings.colours[2] << " " << run.settings.colours[3];
    }
    ++outcomes[checked.status == 0 ? "silent" : right ? "found, sprite right" : "found"];
  }
  std::cout << outcomes["silent"] << " silent, " << outcomes["found"] << " with findings, "
            << outcomes["found, sprite right"] << " with findings on a right sprite\n";
  EXPECT_GE(outcomes["silent"] * 5, count) << "too few right cases to prove anything";
  EXPECT_GE(outcomes["found"] * 5, count) << "too few wrong cases to prove anything";
}

// The findings quorvel-check makes of a run, in-process.
std::vector<check::Finding> findings_of(const NearlyRight& run) {
  check::Arguments given{run.settings.startaddress,
                         run.settings.add_zero_byte,
                         {run.settings.colours[0], run.settings.colours[1], run.settings.colours[2],
                          run.settings.colours[3]}};
  std::vector<check::Finding> findings;
  for (check::Finding& finding : check::check_bitmap(check::whole_file(run.bitmap), &given))
    if (finding.severity != check::Finding::note) findings.push_back(finding);
  return findings;
}

// Palette entries moved, each with its colour and its pixels.
void move_entries(Bytes& bitmap, const std::vector<std::pair<int, int>>& moves) {
  int bits = field(bitmap, 28, 2);
  std::size_t palette = 14 + static_cast<std::size_t>(field(bitmap, 14, 4));
  std::size_t pixels = static_cast<std::size_t>(field(bitmap, 10, 4));
  std::vector<int> to(256);
  for (int i = 0; i < 256; ++i) to[static_cast<std::size_t>(i)] = i;
  for (auto [from, place] : moves) {
    std::swap(to[static_cast<std::size_t>(from)], to[static_cast<std::size_t>(place)]);
    for (std::size_t k = 0; k < 4; ++k)
      std::swap(bitmap.at(palette + 4 * static_cast<std::size_t>(from) + k),
                bitmap.at(palette + 4 * static_cast<std::size_t>(place) + k));
  }
  for (std::size_t at = pixels; at < bitmap.size(); ++at) {
    std::uint8_t byte = bitmap[at];
    bitmap[at] =
        static_cast<std::uint8_t>(bits == 8 ? to[byte] : to[byte >> 4] << 4 | to[byte & 15]);
  }
}

void apply(const check::Fix& fix, NearlyRight& run) {
  if (fix.startaddress) run.settings.startaddress = *fix.startaddress;
  if (fix.add_zero_byte) run.settings.add_zero_byte = *fix.add_zero_byte;
  for (std::size_t i = 0; i < 4; ++i)
    if (fix.colours[i]) run.settings.colours[i] = *fix.colours[i];
  move_entries(run.bitmap, fix.moves);
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

TEST(CheckProperty, NoFindingMeansTheSpriteIsThePicture) {
  check_property(base_seed() + 3, case_count() / 5);
}

// The twin of the property above: where every finding has a fix that needs
// no judgement (an argument, palette entries moved), all of them applied
// leave nothing to find.
TEST(CheckFixes, MechanicalFixesLeaveNothingToFind) {
  Generator generate(base_seed() + 4);
  int fixed = 0;
  for (int done = 0; done < case_count(); ++done) {
    NearlyRight run = nearly_right(generate);
    std::vector<check::Finding> findings = findings_of(run);
    bool mechanical = !findings.empty() && std::all_of(findings.begin(), findings.end(),
                                                       [](const check::Finding& finding) {
                                                         return finding.fix.has_value();
                                                       });
    if (!mechanical) continue;
    for (const check::Finding& finding : findings) apply(*finding.fix, run);
    std::string left;
    for (const check::Finding& finding : findings_of(run)) left += finding.message + "\n";
    ASSERT_EQ(left, "") << "case " << done << ", found first:\n" << findings.front().message;
    ++fixed;
  }
  std::cout << fixed << " cases fixed mechanically\n";
  EXPECT_GE(fixed * 10, case_count()) << "too few cases to prove anything";
}

// quorvel-sheet makes each cell's sprite by the converter's own rule: for an
// indexed sheet by palette index, block N is what quorvel writes for cell N
// cut out as a 24 by 21 bitmap of its own, with the same codes and the zero
// byte.
TEST(SheetProperty, EveryBlockIsTheConvertersSprite) {
  Generator generate(base_seed() + 5);
  TempDir folder;
  int blocks = 0;
  for (int done = 0; done < std::max(4, case_count() / 100); ++done) {
    int bits = std::array{1, 4, 8}[static_cast<std::size_t>(done % 3)];
    int columns = generate.pick(1, 4), rows = generate.pick(1, 3);
    int origin = generate.pick(0, 2), spacing = generate.pick(0, 2);
    std::size_t width = static_cast<std::size_t>(origin + columns * (24 + spacing));
    std::size_t height = static_cast<std::size_t>(origin + rows * (21 + spacing));
    PixelRows pixels(height, std::vector<std::uint8_t>(width));
    // Pixels two wide on each cell's own pairs (any pixel of a hires sheet).
    for (auto& row : pixels)
      for (std::size_t x = 0; x < width; ++x) {
        bool pair_start = (static_cast<int>(x) - origin + 24 + spacing) % (24 + spacing) % 2 == 0;
        row[x] = bits == 1 || pair_start || x == 0
                     ? static_cast<std::uint8_t>(generate.pick(0, bits == 1 ? 1 : 3))
                     : row[x - 1];
      }
    std::vector<std::string> codes;
    for (int i = 0; i < 4; ++i) codes.push_back(std::to_string(generate.pick(0, 3)));
    // What lies outside every cell is the background, as an artist leaves it
    // (index 0 with code 0; of a hires sheet, the index that shows nothing).
    codes[0] = bits == 1 ? codes[0] : "0";
    std::uint8_t background = bits == 1 && codes[0] != "0" ? 1 : 0;
    auto in_cells = [&](std::size_t at, int cell) {
      int from = static_cast<int>(at) - origin;
      return from >= 0 && from % (cell + spacing) < cell;
    };
    for (std::size_t y = 0; y < height; ++y)
      for (std::size_t x = 0; x < width; ++x)
        if (!in_cells(x, 24) || !in_cells(y, 21)) pixels[y][x] = background;
    write_file(folder.file("sheet.bmp"), encode_bmp({.bits = bits, .pixels = pixels}));
    std::string offsets = std::to_string(origin) + "," + std::to_string(origin);
    std::string gaps = std::to_string(spacing) + "," + std::to_string(spacing);
    RunResult sheet =
        run_program({"--codes", codes[0] + "," + codes[1] + "," + codes[2] + "," + codes[3],
                     "--origin", offsets, "--spacing", gaps, "sheet.bmp", "sheet.spr"},
                    {.working_directory = folder.path, .program = sheet_path()});
    ASSERT_EQ(sheet.status, 0) << sheet.output << sheet.error;
    Bytes made = read_file(folder.file("sheet.spr"));
    ASSERT_EQ(made.size(), static_cast<std::size_t>(64 * columns * rows));
    for (int cell = 0; cell < columns * rows; ++cell) {
      PixelRows one(21, std::vector<std::uint8_t>(24));
      std::size_t left = static_cast<std::size_t>(origin + cell % columns * (24 + spacing));
      std::size_t top = static_cast<std::size_t>(origin + cell / columns * (21 + spacing));
      for (std::size_t y = 0; y < 21; ++y)
        for (std::size_t x = 0; x < 24; ++x) one[y][x] = pixels[top + y][left + x];
      Conversion alone = convert(folder, encode_bmp({.bits = bits, .pixels = one}),
                                 {.startaddress = "none", .add_zero_byte = "1", .colours = codes});
      ASSERT_EQ(alone.run.status, 0);
      ASSERT_EQ(alone.output, Bytes(made.begin() + 64 * cell, made.begin() + 64 * (cell + 1)))
          << bits << "-bit sheet " << done << ", cell " << cell;
      ++blocks;
    }
  }
  std::cout << blocks << " blocks the converter's\n";
}

// Lines of a text file, as a set.
std::set<std::string> lines_of(const Bytes& bytes) {
  std::set<std::string> lines;
  std::istringstream text(std::string(bytes.begin(), bytes.end()));
  for (std::string line; std::getline(text, line);) lines.insert(line);
  return lines;
}

// A random sheet of random cells (by palette index, or by C64 colour with
// one own colour a cell), made once by the command line and once by a
// project of one sheet and one animation: the same status, the very same
// blocks, and every label of the command line among the project's.
TEST(SheetProperty, AOneAnimationProjectIsItsCommandLine) {
  if (!QUORVEL_SHEET_READS_TOML) GTEST_SKIP() << "built without libtomlplusplus-dev";
  Generator generate(base_seed() + 6);
  TempDir folder;
  int compared = 0;
  for (int done = 0; done < std::max(6, case_count() / 100); ++done) {
    bool by_colour = done % 2 == 1;
    int bits = by_colour ? 4 : std::array{1, 4, 8}[static_cast<std::size_t>(done / 2 % 3)];
    int cell_width = generate.pick(24, 28), cell_height = generate.pick(21, 24);
    int columns = generate.pick(1, 4), rows = generate.pick(1, 3);
    int origin = generate.pick(0, 3), spacing = generate.pick(0, 2);
    std::size_t width = static_cast<std::size_t>(origin + columns * (cell_width + spacing));
    std::size_t height = static_cast<std::size_t>(origin + rows * (cell_height + spacing));
    // by colour: blue, light red and orange (codes 0, 1 and 3) and each
    // cell's own colour (code 2); by index the codes themselves. Each cell
    // drawn from its own left edge, in pairs but for hires, in its sprite's
    // 24 by 21; the rest the background.
    const int registers[4] = {6, 10, 0, 8};
    auto place = [&](std::size_t at, int size, int& cell, int& within) {
      int from = static_cast<int>(at) - origin;
      cell = from < 0 ? -1 : from / (size + spacing);
      within = from < 0 ? -1 : from % (size + spacing);
      return from >= 0 && within < size;
    };
    PixelRows pixels(height, std::vector<std::uint8_t>(width));
    for (std::size_t y = 0; y < height; ++y)
      for (std::size_t x = 0; x < width; ++x) {
        int column = 0, cx = 0, row = 0, cy = 0;
        bool inside = place(x, cell_width, column, cx) && place(y, cell_height, row, cy) &&
                      cx < 24 && cy < 21;
        int code = !inside       ? 0
                   : bits == 1   ? generate.pick(0, 2) == 0
                   : cx % 2 == 1 ? -1
                                 : generate.pick(0, 3);
        int own = (row * columns + column) % 4 + 1;  // white, red, cyan, purple
        int colour = code == 2 ? own : registers[std::max(code, 0)];
        pixels[y][x] = static_cast<std::uint8_t>(code < 0    ? pixels[y][x - 1]
                                                 : by_colour ? colour
                                                             : code);
      }
    const c64::Palette& pepto = c64::palettes[0];
    write_file(
        folder.file("sheet.bmp"),
        encode_bmp({.bits = bits,
                    .pixels = pixels,
                    .colours = std::vector<std::uint32_t>(pepto.rgb.begin(), pepto.rgb.end())}));
    std::string cells;
    for (int items = generate.pick(1, 3); items > 0; --items) {
      int first = generate.pick(0, columns * rows - 1),
          last = generate.pick(first, columns * rows - 1);
      cells += (cells.empty() ? "" : ",") + std::to_string(first) +
               (last > first ? "-" + std::to_string(last) : "");
    }
    std::string address =
        generate.pick(0, 3) == 0 ? "" : std::to_string(generate.pick(2, 3) * 1000);
    std::string cell = std::to_string(cell_width) + "x" + std::to_string(cell_height);
    std::string offsets = std::to_string(origin) + "," + std::to_string(origin);
    std::string gaps = std::to_string(spacing) + "," + std::to_string(spacing);
    std::vector<std::string> arguments = {"--cell",    cell,       "--origin", offsets,
                                          "--spacing", gaps,       "--frames", cells,
                                          "--labels",  "line.inc", "--name",   "anim"};
    std::string project = "output = \"project.spr\"\nlabels = \"project.inc\"\nname = \"anim\"\n";
    if (!address.empty()) {
      arguments.insert(arguments.end(), {"--address", address});
      project += "address = \"" + address + "\"\n";
    }
    if (by_colour) {
      arguments.insert(arguments.end(),
                       {"--background", "6", "--multicolour1", "10", "--multicolour2", "8"});
      project += "[registers]\nbackground = 6\nmulticolour1 = 10\nmulticolour2 = 8\n";
    }
    project += "[[sheet]]\npicture = \"sheet.bmp\"\ncell = \"" + cell + "\"\norigin = \"" +
               offsets + "\"\nspacing = \"" + gaps +
               "\"\n[[sheet.animation]]\nname = \"anim\"\ncells = \"" + cells + "\"\n";
    arguments.insert(arguments.end(), {"sheet.bmp", "line.spr"});
    write_file(folder.file("game.toml"), project);
    for (const char* made : {"line.spr", "line.inc", "project.spr", "project.inc"})
      std::remove(folder.file(made).c_str());
    RunResult line =
        run_program(arguments, {.working_directory = folder.path, .program = sheet_path()});
    RunResult whole =
        run_program({"game.toml"}, {.working_directory = folder.path, .program = sheet_path()});
    ASSERT_EQ(whole.status, line.status)
        << project << line.output << line.error << whole.output << whole.error;
    if (line.status != 0) continue;
    ASSERT_EQ(read_file(folder.file("project.spr")), read_file(folder.file("line.spr"))) << project;
    std::set<std::string> own = lines_of(read_file(folder.file("project.inc")));
    for (const std::string& label : lines_of(read_file(folder.file("line.inc"))))
      ASSERT_TRUE(own.count(label)) << label << " is not among the project's labels\n" << project;
    ++compared;
  }
  std::cout << compared << " projects wrote the command line's blocks and labels\n";
  EXPECT_GT(compared, 0);
}

}  // namespace
