// quorvel-sheet through the real program: one sheet in every format it reads
// gives the same blocks and labels; findings and refusals write nothing and
// leave an existing output as it was; devices, FIFOs and standard output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "c64/palettes.hpp"
#include "support/json_reader.hpp"
#include "support/png_builder.hpp"
#include "support/scenario.hpp"

namespace {

using namespace testing_support;

// The run again with --format json: valid JSON that says what the console said.
void expect_json_agrees(const TempDir& folder, std::vector<std::string> arguments,
                        const RunResult& console, const std::string& name) {
  arguments.insert(arguments.begin(), {"--format", "json"});
  RunResult json =
      run_program(arguments, {.working_directory = folder.path, .program = sheet_path()});
  std::string picture = arguments[arguments.size() - 2];
  EXPECT_EQ(json_disagreement(json.output, json.status, console.output, console.error,
                              console.status, shown_name(picture)),
            "")
      << name;
}

// The sheet: two by two cells of 24 by 21, drawn with codes 0 to 3 two pixels
// wide; by C64 colour the background is blue, multicolour 1 light red,
// multicolour 2 orange, and each cell's own colour white, yellow, cyan, green.
constexpr int background = 6, multicolour1 = 10, multicolour2 = 8;
constexpr int own_colours[4] = {1, 7, 3, 5};

int code_at(int x, int y) {
  int cell = (y / 21) * 2 + x / 24;
  int cx = x % 24, cy = y % 21;
  return (cx / 2 * (cell + 1) + cy / 3 + cell) % 4;
}

int colour_number_at(int x, int y) {
  int codes[4] = {background, multicolour1, own_colours[(y / 21) * 2 + x / 24], multicolour2};
  return codes[code_at(x, y)];
}

// 0xAARRGGBB of a C64 colour number in a published palette, opaque.
std::uint32_t argb(int number, const c64::Palette& palette = c64::palettes[0]) {
  return 0xFF000000 | palette.rgb[static_cast<std::size_t>(number)];
}

// The sheet's pixels as colours; the background transparent where asked.
std::vector<std::uint32_t> sheet_colours(const c64::Palette& palette, bool transparent_background,
                                         int off = 0) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < 42; ++y)
    for (int x = 0; x < 48; ++x) {
      int number = colour_number_at(x, y);
      if (transparent_background && number == background)
        pixels.push_back(0x00FF00FF);  // a colour nobody sees
      else
        pixels.push_back(argb(number, palette) + static_cast<std::uint32_t>(off * 0x010101));
    }
  return pixels;
}

// The sheet as an indexed BMP whose indices are the C64 colour numbers.
Bytes indexed_sheet(int bits, const c64::Palette& palette, bool top_down) {
  PixelRows pixels(42, std::vector<std::uint8_t>(48));
  for (int y = 0; y < 42; ++y)
    for (int x = 0; x < 48; ++x)
      pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(colour_number_at(x, y));
  return encode_bmp(
      {.bits = bits,
       .pixels = pixels,
       .top_down = top_down,
       .colours = std::vector<std::uint32_t>(palette.rgb.begin(), palette.rgb.end())});
}

// The sheet's codes as the indices of an indexed BMP.
Bytes code_sheet(int bits) {
  PixelRows pixels(42, std::vector<std::uint8_t>(48));
  for (int y = 0; y < 42; ++y)
    for (int x = 0; x < 48; ++x)
      pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(bits == 1 ? (x + y) % 3 == 0 : code_at(x, y));
  return encode_bmp({.bits = bits, .pixels = pixels});
}

// A 24 or 32-bit BMP of 48 by 42. With `alpha`, a version 5 header whose
// masks give the fourth byte as alpha; without, a plain 40-byte header, and
// the fourth byte (0) is no alpha.
Bytes true_colour_sheet(int bits, bool alpha) {
  std::vector<std::uint32_t> pixels = sheet_colours(c64::palettes[0], alpha);
  std::size_t header = alpha ? 124 : 40,
              stride = (48 * static_cast<std::size_t>(bits) / 8 + 3) / 4 * 4;
  Bytes file(14 + header);
  file[0] = 'B', file[1] = 'M';
  put_i32(file, at_bfOffBits, static_cast<std::int32_t>(file.size()));
  put_i32(file, at_biSize, static_cast<std::int32_t>(header));
  put_i32(file, at_biWidth, 48);
  put_i32(file, at_biHeight, 42);
  put_u16(file, 26, 1);
  put_u16(file, at_biBitCount, static_cast<std::uint16_t>(bits));
  if (alpha) {
    put_i32(file, at_biCompression, 3);
    put_i32(file, 54, 0x00FF0000), put_i32(file, 58, 0x0000FF00), put_i32(file, 62, 0x000000FF);
    put_i32(file, 66, static_cast<std::int32_t>(0xFF000000));
  }
  for (int y = 41; y >= 0; --y) {
    Bytes row;
    for (int x = 0; x < 48; ++x) {
      std::uint32_t pixel = pixels[static_cast<std::size_t>(y * 48 + x)];
      row.insert(row.end(),
                 {static_cast<std::uint8_t>(pixel), static_cast<std::uint8_t>(pixel >> 8),
                  static_cast<std::uint8_t>(pixel >> 16)});
      if (bits == 32) row.push_back(alpha ? static_cast<std::uint8_t>(pixel >> 24) : 0);
    }
    row.resize(stride);
    file.insert(file.end(), row.begin(), row.end());
  }
  put_i32(file, at_bfSize, static_cast<std::int32_t>(file.size()));
  return file;
}

Bytes png_sheet(int colour_type, int depth, const c64::Palette& palette,
                bool transparent_background, int off = 0) {
  return encode_png(
      {48, 42, sheet_colours(palette, transparent_background, off), colour_type, depth});
}

// The blocks the sheet's cells make, in the order given: each cell's codes
// packed four to a byte (the right-hand pixel of each pair), and a zero byte.
std::string expected_blocks(const std::vector<int>& cells, const std::string& address = "") {
  std::string bytes = address;
  for (int cell : cells) {
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 24; x += 8) {
        int byte = 0;
        for (int pixel = 0; pixel < 4; ++pixel)
          byte = byte << 2 | code_at(cell % 2 * 24 + x + 2 * pixel + 1, cell / 2 * 21 + y);
        bytes += static_cast<char>(byte);
      }
    bytes += '\0';
  }
  return bytes;
}

std::string expected_labels(const std::vector<int>& cells, int first_block,
                            const std::string& form = "") {
  std::string text;
  for (std::size_t n = 0; n < cells.size(); ++n) {
    text += form + "sheet_" + std::to_string(n) + " = " +
            std::to_string(first_block + static_cast<int>(n)) + "\n";
    text += form + "sheet_" + std::to_string(n) +
            "_colour = " + std::to_string(own_colours[static_cast<std::size_t>(cells[n])]) + "\n";
  }
  return text + form + "sheet_background = 6\n" + form + "sheet_multicolour1 = 10\n" + form +
         "sheet_multicolour2 = 8\n";
}

const std::vector<std::string> by_colour = {"--background", "blue",           "--multicolour1",
                                            "light-red",    "--multicolour2", "orange"};

std::vector<std::string> with(std::vector<std::string> options,
                              const std::vector<std::string>& more) {
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

// The hires sheet of a 1-bit picture, complemented when asked: bits straight
// from its rows.
std::string expected_hires(bool complement) {
  std::string bytes;
  for (int cell = 0; cell < 4; ++cell) {
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 24; x += 8) {
        int byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
          int px = cell % 2 * 24 + x + bit, py = cell / 2 * 21 + y;
          byte = byte << 1 | ((px + py) % 3 == 0);
        }
        bytes += static_cast<char>(complement ? ~byte : byte);
      }
    bytes += '\0';
  }
  return bytes;
}

TEST(SheetProgram, EveryFormatGivesTheSameBlocksAndLabels) {
  const c64::Palette& pepto = c64::palettes[0];
  const c64::Palette& colodore = c64::palettes[1];
  const std::vector<int> all = {0, 1, 2, 3};
  const struct {
    std::string name, file;
    Bytes picture;
    std::vector<std::string> options;
    std::string blocks, labels = "";
  } cases[] = {
      {"4-bit BMP in Pepto's palette", "sheet.bmp", indexed_sheet(4, pepto, false),
       with(by_colour, {"--labels", "sheet.inc"}), expected_blocks(all), expected_labels(all, 0)},
      {"8-bit BMP, top-down, in Colodore", "sheet.bmp", indexed_sheet(8, colodore, true), by_colour,
       expected_blocks(all)},
      {"24-bit BMP", "sheet.bmp", true_colour_sheet(24, false), by_colour, expected_blocks(all)},
      {"32-bit BMP, alpha by its header", "sheet.bmp", true_colour_sheet(32, true), by_colour,
       expected_blocks(all)},
      {"32-bit BMP, the fourth byte no alpha", "sheet.bmp", true_colour_sheet(32, false), by_colour,
       expected_blocks(all)},
      {"PNG with alpha, frames in an order, an address, KickAssembler labels", "sheet.png",
       png_sheet(6, 8, pepto, true),
       with(by_colour, {"--frames", "3,0-1,0", "--address", "$2000", "--labels", "sheet.inc",
                        "--labels-syntax", "kickass"}),
       expected_blocks({3, 0, 1, 0}, std::string("\x00\x20", 2)),
       expected_labels({3, 0, 1, 0}, 128, ".const ")},
      {"PNG with a palette and tRNS, labels with = and an address in bank 3", "sheet.png",
       png_sheet(3, 8, pepto, true), with(by_colour, {"--address=c000", "--labels=sheet.inc"}),
       expected_blocks(all, std::string("\x00\xC0", 2)), expected_labels(all, 0)},
      {"16-bit PNG in Colodore", "sheet.png", png_sheet(2, 16, colodore, false), by_colour,
       expected_blocks(all)},
      {"PNG a little off the published colours", "sheet.png", png_sheet(2, 8, pepto, false, 7),
       by_colour, expected_blocks(all)},
      {"indexed BMP by palette index", "sheet.bmp", code_sheet(4), {}, expected_blocks(all)},
      {"8-bit BMP with codes",
       "sheet.bmp",
       code_sheet(8),
       {"--codes", "0,1,2,3"},
       expected_blocks(all)},
      {"1-bit BMP: hires", "sheet.bmp", code_sheet(1), {}, expected_hires(false)},
      {"1-bit BMP: hires complemented",
       "sheet.bmp",
       code_sheet(1),
       {"--codes", "1,0,0,0"},
       expected_hires(true)},
  };
  for (const auto& c : cases) {
    if (c.file.ends_with(".png") && !QUORVEL_SHEET_READS_PNG) continue;  // built without libstb-dev
    TempDir folder;
    write_file(folder.file(c.file), c.picture);
    RunResult run = run_program(with(c.options, {c.file, "out.spr"}),
                                {.working_directory = folder.path, .program = sheet_path()});
    ASSERT_EQ(run.status, 0) << c.name << "\n" << run.output << run.error;
    EXPECT_EQ(run.output + run.error, "") << c.name;
    Bytes out = read_file(folder.file("out.spr"));
    EXPECT_EQ(std::string(out.begin(), out.end()), c.blocks) << c.name;
    if (!c.labels.empty()) {
      Bytes labels = read_file(folder.file("sheet.inc"));
      EXPECT_EQ(std::string(labels.begin(), labels.end()), c.labels) << c.name;
    }
    std::size_t files = static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder.path), {}));
    EXPECT_EQ(files, c.labels.empty() ? 2u : 3u) << c.name << ": a file left beside the output";
    expect_json_agrees(folder, with(c.options, {c.file, "out.spr"}), run, c.name);
  }
}

// A finding or a refusal writes nothing, and an existing output stays as it was.
TEST(SheetProgram, FindingsAndRefusalsWriteNothing) {
  const Bytes png = png_sheet(6, 8, c64::palettes[0], true);
  Bytes big_png = png;
  big_png[16 + 2] = 0x13, big_png[16 + 3] = 0x88;  // 5000 pixels wide, said before decoding
  Bytes endless_chunk = png;                       // its data chunk said to be longer than the file
  std::size_t data = 8 + 25;                       // after the signature and the header chunk
  endless_chunk[data] = 0xFF, endless_chunk[data + 1] = 0xFF;
  const struct {
    std::string name;
    Bytes picture;
    std::vector<std::string> options;
    int status;
    std::string
        said;  // the start of what it says: findings on standard output, else standard error
  } cases[] = {
      {"hires: a second colour of the sprite's own",
       png,
       {"--hires", "--background", "blue"},
       1,
       "sheet.png: warning: cell 0, pixel 2, 0: C64 light red is a second colour of the sprite's "
       "own, "
       "beside C64 white, its most common (252 pixels are of neither it nor a register's colour)"},
      {"pairs that differ",
       encode_png({48, 42,
                   [] {
                     auto p = sheet_colours(c64::palettes[0], false);
                     p[2 * 48 + 30] = argb(10);
                     return p;
                   }(),
                   6, 8}),
       by_colour, 1,
       "sheet.png: warning: cell 1, pixel 30, 2: 1 pair of pixels differ (the first here)"},
      {"a colour of no C64 palette",
       encode_png({48, 42,
                   [] {
                     auto p = sheet_colours(c64::palettes[0], false);
                     p[50 * 0 + 5] = 0xFF123456;
                     return p;
                   }(),
                   6, 8}),
       by_colour, 1,
       "sheet.png: warning: cell 0, pixel 5, 0: colour #123456 is in no published C64 palette"},
      {"a drawn pixel outside the sprite of a larger cell", png,
       with(by_colour, {"--cell", "24x22"}), 1,
       "sheet.png: warning: cell 0, pixel 0, 21: 18 pixels drawn outside the sprite's 24 by 21"},
      {"a cell number outside the grid", png, with(by_colour, {"--frames", "0-4"}), 2,
       "quorvel-sheet: --frames names cell 4, but the picture holds 4 cells (0 to 3)"},
      {"a cell smaller than a sprite", png, with(by_colour, {"--cell", "16x16"}), 2,
       "quorvel-sheet: --cell 16x16 is smaller than a sprite, 24x21"},
      {"an address off the blocks", png, with(by_colour, {"--address", "2001"}), 2,
       "quorvel-sheet: --address $2001 is not on a 64-byte boundary"},
      {"blocks past a VIC bank", png, with(by_colour, {"--address", "3f80"}), 2,
       "quorvel-sheet: the 4 blocks from $3F80 cross the end of the 16 KiB VIC bank"},
      {"a PNG without colours",
       png,
       {},
       2,
       "quorvel-sheet: \"sheet.png\" is read by its colours: give them by C64 colour (--background "
       "C, "
       "--multicolour1 C, --multicolour2 C). Its colours: C64 orange (8) 540 pixels, C64 light red "
       "(10) 540 pixels, transparent (the background) 504 pixels, "},
      {"larger than 4096, before decoding", big_png, by_colour, 2,
       "quorvel-sheet: cannot read \"sheet.png\": it is 5000 by 42 pixels, larger than 4096 by "
       "4096"},
      {"a chunk longer than the file", endless_chunk, by_colour, 2,
       "quorvel-sheet: cannot read \"sheet.png\": its PNG data is damaged"},
      {"no such option", png, {"--colour", "1"}, 2, "quorvel-sheet: there is no option --colour"},
      {"two ways of giving colours", png, with(by_colour, {"--codes", "0,1,2,3"}), 2,
       "quorvel-sheet: give colours by C64 colour or by --codes, not both"},
      {"a code above 3",
       code_sheet(4),
       {"--codes", "0,1,2,4"},
       2,
       "quorvel-sheet: --codes takes codes 0 to 3"},
      {"the output is the picture", png, with(by_colour, {"--labels", "sheet.png"}), 2,
       "quorvel-sheet: \"sheet.png\" is the picture itself"},
  };
  for (const auto& c : cases) {
    if (c.picture.front() == 0x89 && !QUORVEL_SHEET_READS_PNG)
      continue;  // built without libstb-dev
    TempDir folder;
    write_file(folder.file("sheet.png"), c.picture);
    write_file(folder.file("out.spr"), std::string("previous"));
    RunResult run = run_program(with(c.options, {"sheet.png", "out.spr"}),
                                {.working_directory = folder.path, .program = sheet_path()});
    EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.output << run.error;
    const std::string& said = c.status == 1 ? run.output : run.error;
    EXPECT_TRUE(said.starts_with(c.said)) << c.name << ":\n" << said;
    Bytes kept = read_file(folder.file("out.spr"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous") << c.name;
    EXPECT_EQ(read_file(folder.file("sheet.png")), c.picture) << c.name;
    std::size_t files = static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder.path), {}));
    EXPECT_EQ(files, 2u) << c.name << ": a file left beside the output";
    expect_json_agrees(folder, with(c.options, {"sheet.png", "out.spr"}), run, c.name);
  }
}

// The same sheet drawn in every published palette the programs know, as an
// 8-bit BMP whose palette holds the C64's colours in reverse order, and as a
// PNG: the colours decide, never the palette's order, and every palette gives
// the very sprites.
TEST(SheetProgram, EveryPaletteInAnyOrderGivesTheSameSprites) {
  for (const c64::Palette& palette : c64::palettes) {
    PixelRows pixels(42, std::vector<std::uint8_t>(48));
    for (int y = 0; y < 42; ++y)
      for (int x = 0; x < 48; ++x)
        pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
            static_cast<std::uint8_t>(15 - colour_number_at(x, y));
    std::vector<std::uint32_t> reversed(palette.rgb.rbegin(), palette.rgb.rend());
    const struct {
      std::string file;
      Bytes picture;
    } pictures[] = {
        {"sheet.bmp", encode_bmp({.bits = 8, .pixels = pixels, .colours = reversed})},
        {"sheet.png", png_sheet(6, 8, palette, false)},
    };
    for (const auto& picture : pictures) {
      if (picture.file.ends_with(".png") && !QUORVEL_SHEET_READS_PNG) continue;
      TempDir folder;
      write_file(folder.file(picture.file), picture.picture);
      RunResult run = run_program(with(by_colour, {picture.file, "out.spr"}),
                                  {.working_directory = folder.path, .program = sheet_path()});
      std::string name = std::string(palette.name) + " " + picture.file;
      EXPECT_EQ(run.status, 0) << name << "\n" << run.output << run.error;
      EXPECT_EQ(run.output + run.error, "") << name;
      Bytes out = read_file(folder.file("out.spr"));
      EXPECT_EQ(std::string(out.begin(), out.end()), expected_blocks({0, 1, 2, 3})) << name;
    }
  }
}

// Standard output, a device and a FIFO are written directly, once every cell passed.
TEST(SheetProgram, StandardOutputDevicesAndFifos) {
  if (!QUORVEL_SHEET_READS_PNG) GTEST_SKIP() << "built without libstb-dev: no PNG";
  const struct {
    std::string outname;
    bool fifo = false;
  } cases[] = {{"-"}, {"/dev/null"}, {"out.fifo", true}};
  std::string blocks = expected_blocks({0, 1, 2, 3});
  for (const auto& c : cases) {
    if (c.outname != "-" && !platform_can(Capability::named_pipes))
      continue;  // Windows has neither
    TempDir folder;
    write_file(folder.file("sheet.png"), png_sheet(6, 8, c64::palettes[0], true));
    std::string received;
    std::thread reader;
    if (c.fifo) {
      ASSERT_EQ(mkfifo(folder.file(c.outname).c_str(), 0600), 0);
      reader = std::thread([&] {
        Bytes got = read_file(folder.file(c.outname));
        received.assign(got.begin(), got.end());
      });
    }
    RunResult run = run_program(with(by_colour, {"sheet.png", c.outname}),
                                {.working_directory = folder.path, .program = sheet_path()});
    if (reader.joinable()) reader.join();
    EXPECT_EQ(run.status, 0) << c.outname << run.error;
    EXPECT_EQ(c.outname == "-" ? run.output : c.fifo ? received : blocks, blocks) << c.outname;
  }
}

TEST(SheetProgram, HelpAndVersion) {
  RunResult help = run_program({"--help"}, {.program = sheet_path()});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.output.starts_with("Usage: quorvel-sheet [OPTIONS] PICTURE OUTNAME\n"));
  RunResult version = run_program({"--version"}, {.program = sheet_path()});
  EXPECT_EQ(version.output, "quorvel-sheet " QUORVEL_RELEASE_VERSION "\n");
  RunResult none = run_program({}, {.program = sheet_path()});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.error,
            "quorvel-sheet: give a picture and an output name (quorvel-sheet --help)\n");
}

}  // namespace
