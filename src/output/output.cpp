#include "output/output.hpp"

#include <algorithm>

#include "services/console.hpp"
#include "services/platform.hpp"
#include "services/text.hpp"

bool with_address = true;

namespace {

// Characters `first` and `first + 1` (counted from 0); missing ones are left out.
std::string_view character_pair(std::string_view text, std::size_t first) {
  return first < text.size() ? text.substr(first, 2) : std::string_view();
}

void write_byte(BinaryFile& file, std::uint8_t byte) {
  file_write(file, &byte, 1);
  check_io();
}

}  // namespace

// Uppercase digits count too: "C000" must not load a sprite over the zero page.
// Any other character, and a missing one, counts as 0.
std::uint8_t hex_pair_value(std::string_view text) {
  int result = 0;
  for (std::size_t i = 0; i < 2; ++i)
    result = result * 16 + (i < text.size() ? std::max(0, hex_digit_value(text[i])) : 0);
  return static_cast<std::uint8_t>(result);
}

void open_outfile(BinaryFile& file, const std::string& name, const std::string& startaddress) {
  write_line(join_cut({"Opening file \"", platform::console_text(name), "\" ($", startaddress,
                       ") for writing..."}));
  file_assign(file, name);
  file_create(file, 1);
  check_io();
  if (!with_address) return;
  write_byte(file, hex_pair_value(character_pair(startaddress, 2)));  // low byte
  write_byte(file, hex_pair_value(character_pair(startaddress, 0)));  // high byte
}

void write_zero_byte(BinaryFile& file) {
  write_line("Adding one byte to the output binary (for packing multiple sprites for example)...");
  write_byte(file, 0);
}
