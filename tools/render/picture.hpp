// Pictures for the documentation: a bitmap as it looks, and a sprite as a C64
// shows it, side by side in one PNG. Only for tools; not part of the program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
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

// An uncompressed 1, 4 or 8-bit BMP as palette indices, rows top first, with
// its palette; throws on anything else.
struct IndexedBitmap {
  int width = 0;
  int height = 0;
  int bits = 0;
  std::vector<int> indices;
  std::vector<std::uint32_t> palette;  // 0xRRGGBB
  int at(int x, int y) const { return indices[static_cast<std::size_t>(y * width + x)]; }
  std::uint32_t colour(int x, int y) const;
};
IndexedBitmap decode_indexed_bmp(const Bytes& file);
// The same BMP in its own colours.
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
Image side_by_side_all(const std::vector<Image>& images, int gap, std::uint32_t colour);

Image blank(int width, int height, std::uint32_t colour);
// Digits, A-F and "=" in a 3 by 5 font, each font pixel `scale` wide.
void draw_text(Image& image, int x, int y, std::string_view text, std::uint32_t colour, int scale);

// The bitmap blown up: each pixel a `cell`-wide square in its colour, with its
// palette index written in it.
Image index_picture(const IndexedBitmap& bitmap, int cell);
// How the top row becomes three multicolour bytes: the 24 bitmap pixels with
// their indices (the ignored left-hand pixel of each pair faded), the 12 sprite
// pixels in their colours with their bit pairs, and each byte's bits and value.
Image row_picture(const IndexedBitmap& bitmap, const Bytes& sprite, const SpriteColours& colours,
                  int cell);

Bytes encode_png(const Image& image);

}  // namespace render
