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

// The rule that turns pixels into sprite bytes, over memory: the conversion
// above uses it byte by byte as it reads, quorvel-sheet for whole cells.
// A pixel is the byte the conversion holds for it: a 1-bit row byte (hires),
// or a multicolour pixel whose low four bits are its palette index (of a pair,
// the right-hand pixel's byte).
namespace sprite_rule {

inline constexpr int width = 24;
inline constexpr int height = 21;
inline constexpr int bytes = 63;

// A hires byte as written: the held byte, complemented when the map's entry 0
// is not 0.
std::uint8_t hires_byte(std::uint8_t held, const std::uint8_t map[16]);
// A multicolour byte of four pixels, left to right: each pixel's code, the
// map's entry for its low four bits, ORed into its bit pair (codes above 3
// spill into the neighbours).
std::uint8_t multicolour_byte(const std::uint8_t held[4], const std::uint8_t map[16]);

// The 63 bytes of a sprite from its 24 by 21 pixels, top row first: for a
// hires sprite 0 or 1 each, for a multicolour one the palette index of each
// pixel, of which the right-hand one of each pair counts.
using Pixels = std::uint8_t[height][width];
void sprite_bytes(const Pixels& pixels, bool hires, const std::uint8_t map[16],
                  std::uint8_t out[bytes]);

}  // namespace sprite_rule

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
