// Texts: every argument and every assembled line is at most 255 one-byte characters.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

inline constexpr std::size_t max_text_length = 255;

// The first 255 characters of a text; a longer text loses its tail without a message.
std::string cut_text(std::string_view text);

// A hexadecimal digit's value, upper or lower case: 0 to 15, or -1 for any
// other character.
int hex_digit_value(char character);

// The pieces joined with nothing between them, cut after the 255th character.
std::string join_cut(std::initializer_list<std::string_view> pieces);
