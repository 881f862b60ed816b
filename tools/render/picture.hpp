// Pictures for the documentation: a bitmap as it looks, and a sprite as a C64
// shows it, side by side in one PNG. Only for tools; not part of the program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace render {

using Bytes = std::vector<std::uint8_t>;

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB, rows top first
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// The sixteen C64 colours.
std::uint32_t c64_colour(int index);

// An uncompressed 1, 4 or 8-bit BMP in its own palette; throws on anything else.
Image decode_bmp(const Bytes& file);

// Sprite colours by C64 colour number: the background and the three codes
// 01 (multicolour 1), 10 (sprite colour) and 11 (multicolour 2). Hires uses
// only the background and the sprite colour.
struct SpriteColours {
  int background = 0, multicolour1 = 2, sprite = 5, multicolour2 = 7;
};

// 63 sprite bytes as 24 by 21 screen pixels; multicolour pixels are two wide.
Image sprite_image(const Bytes& sprite, bool multicolour, const SpriteColours& colours);

// Each pixel made a `scale` by `scale` block.
Image scaled(const Image& image, int scale);
// Both side by side on `gap` pixels of the given colour.
Image side_by_side(const Image& left, const Image& right, int gap, std::uint32_t colour);

Bytes encode_png(const Image& image);

}  // namespace render
