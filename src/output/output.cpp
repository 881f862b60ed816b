// Output file: its creation, the load address read from the start address, the zero byte.
#include "output/output.hpp"

#include <algorithm>

#include "services/console.hpp"
#include "services/platform/platform.hpp"
#include "services/text.hpp"

bool with_address = true;

namespace {

void write_byte(BinaryFile& file, std::uint8_t byte) {
  file_write(file, &byte, 1);
  check_io();
}

}  // namespace

bool is_no_address(std::string_view startaddress) {
  constexpr std::string_view none = "none";
  if (startaddress.size() != none.size()) return false;
  for (std::size_t i = 0; i < none.size(); ++i)
    if ((startaddress[i] | 0x20) != none[i]) return false;
  return true;
}

std::string address_digits(std::string_view startaddress) {
  for (std::string_view marker : {"$", "0x", "0X"}) {
    if (startaddress.starts_with(marker)) {
      startaddress.remove_prefix(marker.size());
      break;
    }
  }
  if (startaddress.size() >= 4) return std::string(startaddress.substr(0, 4));
  return std::string(4 - startaddress.size(), '0') + std::string(startaddress);
}

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
  std::string digits = address_digits(startaddress);
  write_byte(file, hex_pair_value(std::string_view(digits).substr(2)));     // low byte
  write_byte(file, hex_pair_value(std::string_view(digits).substr(0, 2)));  // high byte
}

void write_zero_byte(BinaryFile& file) {
  write_line("Adding one byte to the output binary (for packing multiple sprites for example)...");
  write_byte(file, 0);
}
