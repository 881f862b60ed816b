// Texts of at most 255 characters, and the hexadecimal digit reader.
#include "services/text.hpp"

std::string cut_text(std::string_view text) {
  return std::string(text.substr(0, max_text_length));
}

std::string join_cut(std::initializer_list<std::string_view> pieces) {
  std::string line;
  for (std::string_view piece : pieces) line.append(piece);
  if (line.size() > max_text_length) line.resize(max_text_length);
  return line;
}

int hex_digit_value(char character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  return -1;
}
