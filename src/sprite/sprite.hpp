// Sprite conversion: turns the bitmap's pixel rows into C64 sprite bytes.
#pragma once

#include <cstdint>

#include "services/files.hpp"

// Colour codes for palette indices 0 to 15; entries 0 to 3 come from the
// command line, the rest stay 0. In hires mode entry 0 switches complementing.
extern std::uint8_t colour_map[16];

// Converts the pixel data found through the header into sprite bytes appended
// to `output`, adding every byte read to `bytes_read`.
void loadwrite_bitmap(BinaryFile& input, BinaryFile& output, std::int32_t& bytes_read);

// The row and pixel arithmetic, exposed for tests. Widths are those of the
// header counters: signed 16-bit rows and steps, signed 64-bit positions.
namespace sprite_arithmetic {

std::int16_t four_bit_row_length(std::int32_t width);
std::int16_t eight_bit_row_length(std::int32_t width);
std::int16_t four_bit_last_step(std::int16_t row_length);
std::int16_t eight_bit_last_step(std::int16_t row_length);
std::int16_t start_row_index(std::int32_t height);
std::int64_t row_position(std::int32_t data_offset, std::int16_t row, std::int16_t row_length);
std::int64_t hires_row_position(std::int32_t data_offset, int row_index);
// ORs a colour code into the output byte at a pixel place 0 to 3; codes above 3
// are not reduced and spill into the neighbouring places.
std::uint8_t place_pixel(std::uint8_t output_byte, std::uint8_t code, unsigned pixel_position);

}  // namespace sprite_arithmetic
