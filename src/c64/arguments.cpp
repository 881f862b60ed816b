// Reads the C64's values from text, through the converter's own readers.
#include "c64/arguments.hpp"

#include <algorithm>
#include <cctype>

#include "c64/palettes.hpp"
#include "services/text.hpp"

namespace c64 {

std::optional<int> colour_number_of(std::string_view text) {
  bool digits = !text.empty() && text.size() <= 5 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits) {
    int number = std::stoi(std::string(text));
    if (number <= 15) return number;
  }
  std::string name;
  for (char c : text)
    name += c == '-' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (std::size_t gray = name.find("gray"); gray != std::string::npos)
    name.replace(gray, 4, "grey");
  for (std::size_t number = 0; number < colour_names.size(); ++number)
    if (colour_names[number] == name) return static_cast<int>(number);
  return std::nullopt;
}

std::optional<int> load_address(std::string_view text) {
  std::string read = cut_text(std::string(text));
  if (is_no_address(read)) return std::nullopt;
  std::string digits = address_digits(read);
  return hex_pair_value(std::string_view(digits).substr(0, 2)) << 8 |
         hex_pair_value(std::string_view(digits).substr(2));
}

std::string hex_address(int value) {
  char hex[6] = "$0000";
  for (int i = 0; i < 4; ++i) hex[4 - i] = "0123456789ABCDEF"[value >> (4 * i) & 15];
  return hex;
}

std::string hex_colour(std::uint32_t rgb) {
  char text[8] = "#000000";
  for (int i = 0; i < 6; ++i) text[6 - i] = "0123456789ABCDEF"[rgb >> (4 * i) & 15];
  return text;
}

}  // namespace c64
