// Writes uncompressed indexed BMP files from pixel grids, for the tests and
// the tool that makes the example bitmaps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bmp_writer {

using Bytes = std::vector<std::uint8_t>;
using PixelRows = std::vector<std::vector<std::uint8_t>>;  // palette indices, top row first

// Rows of characters, one palette index per character: '0'-'9' and 'a'-'f',
// or '.' for 0 and '#' for 1. Throws std::invalid_argument on any other.
PixelRows grid(const std::vector<std::string>& rows);

struct BmpPicture {
  int bits = 4;  // 1, 4 or 8
  PixelRows pixels;
  int palette_entries = -1;            // -1: 2, 16 or 256 by depth
  bool top_down = false;               // rows stored top first, with a negative height
  std::vector<std::uint32_t> colours;  // 0xRRGGBB by index; empty: a grey ramp
};

Bytes encode_bmp(const BmpPicture& picture);

// Header field offsets, for overriding a field after encoding.
enum FieldOffset : std::size_t {
  at_bfSize = 2,
  at_bfOffBits = 10,
  at_biSize = 14,
  at_biWidth = 18,
  at_biHeight = 22,
  at_biBitCount = 28,
  at_biCompression = 30,
};
void put_u16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void put_i32(Bytes& bytes, std::size_t offset, std::int32_t value);

}  // namespace bmp_writer
