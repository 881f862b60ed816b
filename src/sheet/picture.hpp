// quorvel-sheet's pictures: a BMP of any common depth or a PNG, read from
// memory into palette indices or colours, top row first, after a size check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sheet {

inline constexpr int largest_side = 4096;

struct Picture {
  int width = 0, height = 0;
  int bits = 0;                        // 1, 4 or 8 for an indexed BMP; 0 for colours only
  std::vector<std::uint8_t> indices;   // indexed: width × height palette indices
  std::vector<std::uint32_t> palette;  // indexed: 0xRRGGBB by index
  // Colours only: width × height × 4 bytes, red, green, blue, alpha.
  std::shared_ptr<const std::uint8_t[]> rgba;
  bool png = false;
};

// A pixel's colour as 0xRRGGBB, or `transparent` where its alpha is below half.
inline constexpr std::uint32_t transparent = 0xFF000000;
inline std::uint32_t colour_at(const Picture& picture, int x, int y) {
  std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                   static_cast<std::size_t>(x);
  if (picture.bits != 0) {
    std::uint8_t index = picture.indices[at];
    return index < picture.palette.size() ? picture.palette[index] : 0;
  }
  const std::uint8_t* pixel = picture.rgba.get() + at * 4;
  if (pixel[3] < 128) return transparent;
  return std::uint32_t{pixel[0]} << 16 | std::uint32_t{pixel[1]} << 8 | pixel[2];
}

// What the start of a file says of it: a PNG or BMP of that size, or why it
// cannot be read. The size is known before anything is decoded.
struct Shape {
  bool png = false;
  int width = 0, height = 0;
  std::string refusal;  // empty when it can be read
};
Shape picture_shape(const std::vector<std::uint8_t>& start);

// Decodes a whole file whose shape was accepted; "" or why it cannot.
std::string decode_picture(const std::vector<std::uint8_t>& file, Picture& picture);

}  // namespace sheet
