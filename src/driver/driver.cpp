// The driver: the introduction, the argument count, the colour map and the run order.
#include "driver/driver.hpp"

#include <vector>

#include "bitmap/bitmap.hpp"
#include "output/output.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"
#include "services/platform/platform.hpp"
#include "services/text.hpp"
#include "sprite/sprite.hpp"

namespace {

constexpr std::size_t argument_count = 8;

constexpr std::string_view usage_tail =
    " <inname.bmp> <outname.prg> <startaddress in hex of output binary, \"none\" for no address>"
    " <add_zero_byte 1=on|0=off> <colour1> <colour2> <colour3> <colour4>";
constexpr std::string_view example_tail = " bob.bmp bob.prg 2000 0 0 1 2 3";

void write_introduction() {
  write_line("Quorvel v1.4 [06.06.2017] *** by Brannick");
  write_text("Description: Reads a 16color (4bit/8bit) or black/white (1bit) ");
  check_io();
  write_int(24);
  check_io();
  write_char('x');
  check_io();
  write_int(21);
  check_io();
  write_text(" pixel bmp and writes a binary for c64.");
  check_io();
  end_line();
  check_io();
}

void write_usage(const std::string& argv0) {
  std::string path = platform::program_path(argv0);
  write_line(join_cut({"Usage: ", path, usage_tail}));
  write_line(join_cut({"Example: ", path, example_tail}));
}

struct NumberBase {
  unsigned radix;
  std::size_t marker_length;
};

// The base marker at the start of `text`: "$", "x", "X", "0x", "0X", "%" or "&".
NumberBase number_base(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) return {16, 2};
  if (text.empty()) return {10, 0};
  switch (text.front()) {
    case '$':
    case 'x':
    case 'X':
      return {16, 1};
    case '%':
      return {2, 1};
    case '&':
      return {8, 1};
    default:
      return {10, 0};
  }
}

void report_total(std::int32_t bytes_read) {
  write_int(bytes_read);
  check_io();
  write_text(" bytes totally read.");
  check_io();
  end_line();
  check_io();
}

}  // namespace

ColourReading read_colour(std::string_view text) {
  std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {ColourReading::not_a_number, 0};
  text.remove_prefix(start);
  bool negative = text.front() == '-';
  if (text.front() == '+' || negative) text.remove_prefix(1);
  NumberBase base = number_base(text);
  text.remove_prefix(base.marker_length);
  if (text.empty()) return {ColourReading::not_a_number, 0};
  std::uint64_t value = 0;
  for (char c : text) {
    int digit = hex_digit_value(c);
    if (digit < 0 || digit >= static_cast<int>(base.radix)) return {ColourReading::not_a_number, 0};
    if (value > (UINT64_MAX - static_cast<std::uint64_t>(digit)) / base.radix)
      return {ColourReading::too_large, 0};
    value = value * base.radix + static_cast<std::uint64_t>(digit);
  }
  if (negative) return {ColourReading::negative, value};
  return {ColourReading::number, value};
}

std::uint8_t colour_number(std::string_view text) {
  ColourReading reading = read_colour(text);
  return reading.kind == ColourReading::number ? static_cast<std::uint8_t>(reading.value & 0xFF)
                                               : 0;
}

void run_conversion(std::string inname, std::string outname, std::string startaddress,
                    std::string add_zero_byte, std::string colour1, std::string colour2,
                    std::string colour3, std::string colour4) {
  colour_map[0] = colour_number(colour1);
  colour_map[1] = colour_number(colour2);
  colour_map[2] = colour_number(colour3);
  colour_map[3] = colour_number(colour4);
  std::int32_t bytes_read = 0;
  BinaryFile InputFile;
  BinaryFile OutputFile;
  end_line();
  check_io();
  open_infile(InputFile, inname);
  end_line();
  check_io();
  load_header(InputFile, bytes_read);
  open_outfile(OutputFile, outname, startaddress);
  loadwrite_bitmap(InputFile, OutputFile, bytes_read);
  if (add_zero_byte == "1") write_zero_byte(OutputFile);
  close_file(OutputFile);
  report_total(bytes_read);
  end_line();
  check_io();
  close_file(InputFile);
}

void run_program(int argc, platform::ArgumentChar** argv) {
  platform::prepare_process(fatal_error);
  std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  write_introduction();
  if (arguments.size() != argument_count + 1) {
    write_usage(arguments.empty() ? std::string() : arguments[0]);
    halt(exit_status::refused);
  }
  auto text = [&arguments](std::size_t i) {
    return cut_text(platform::console_text(arguments[i]));
  };
  // File names are used whole and as typed: a cut name, or a lookalike of a
  // character, would open or overwrite another file.
  with_address = !is_no_address(text(3));
  run_conversion(arguments[1], arguments[2], text(3), text(4), text(5), text(6), text(7), text(8));
}
