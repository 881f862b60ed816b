// Draws the documentation pictures: palette indices, sprites as a C64 shows them, PNG files.
// Bitmaps are read by the programs' own picture reader.
#include "picture.hpp"

#include <png.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "c64/palettes.hpp"
#include "picture/picture.hpp"

namespace render {

namespace {

// A 3 by 5 pixel font for numbers: each row's three bits, leftmost first.
constexpr char font_characters[] = "0123456789ABCDEF=";
constexpr std::uint8_t font[][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 3, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
    {2, 5, 7, 5, 5}, {6, 5, 6, 5, 6}, {3, 4, 4, 4, 3}, {6, 5, 5, 5, 6}, {7, 4, 6, 4, 7},
    {7, 4, 6, 4, 4}, {0, 7, 0, 7, 0}};

// Black or white, whichever reads better on `colour`.
std::uint32_t contrast(std::uint32_t colour) {
  int light = 299 * static_cast<int>(colour >> 16 & 255) +
              587 * static_cast<int>(colour >> 8 & 255) + 114 * static_cast<int>(colour & 255);
  return light > 128000 ? 0x000000 : 0xFFFFFF;
}

// Halfway to white: a pixel that the conversion ignores.
std::uint32_t faded(std::uint32_t colour) {
  std::uint32_t out = 0;
  for (int shift : {16, 8, 0}) out |= ((colour >> shift & 255) + 255) / 2 << shift;
  return out;
}

void fill(Image& image, int x, int y, int width, int height, std::uint32_t colour) {
  for (int row = std::max(0, y); row < std::min(image.height, y + height); ++row)
    for (int column = std::max(0, x); column < std::min(image.width, x + width); ++column)
      image.pixels[static_cast<std::size_t>(row * image.width + column)] = colour;
}

// Text drawn in the middle of a box, as large as fits up to four times the font.
void draw_centred(Image& image, int x, int y, int width, int height, std::string_view text,
                  std::uint32_t colour) {
  int length = static_cast<int>(text.size());
  int scale = std::max(1, std::min({4, width / (4 * length + 2), height / 7}));
  draw_text(image, x + (width - (4 * length - 1) * scale) / 2, y + (height - 5 * scale) / 2, text,
            colour, scale);
}

// One bitmap pixel as a framed cell in its colour, its palette index written in it.
void draw_index_cell(Image& image, int x, int y, int cell, std::uint32_t colour, int index,
                     bool ignored) {
  std::uint32_t shown = ignored ? faded(colour) : colour;
  fill(image, x, y, cell, cell, ignored ? 0xC0C0C0 : 0x808080);
  fill(image, x + 1, y + 1, cell - 2, cell - 2, shown);
  std::string digits = std::to_string(index);
  std::uint32_t ink = contrast(shown);
  draw_centred(image, x, y, cell, cell, digits, ignored ? faded(ink) : ink);
}

}  // namespace

// In Pepto's palette, as the page shows them.
std::uint32_t c64_colour(int index) {
  return c64::palettes[0].rgb[static_cast<std::size_t>(index & 15)];
}

IndexedBitmap decode_indexed_bmp(const Bytes& file) {
  picture::Picture decoded;
  if (!picture::bmp::recognise(file)) throw std::runtime_error("not a BMP");
  if (std::string problem = picture::decode_picture(file, decoded); !problem.empty())
    throw std::runtime_error(problem);
  if (decoded.bits == 0) throw std::runtime_error("not an uncompressed 1, 4 or 8-bit BMP");
  return {decoded.width, decoded.height, decoded.bits,
          std::vector<int>(decoded.indices.begin(), decoded.indices.end()), decoded.palette};
}

std::uint32_t IndexedBitmap::colour(int x, int y) const {
  std::size_t index = static_cast<std::size_t>(at(x, y));
  if (index >= palette.size()) throw std::runtime_error("a palette index past the palette");
  return palette[index];
}

Image decode_bmp(const Bytes& file) {
  IndexedBitmap bitmap = decode_indexed_bmp(file);
  Image image{bitmap.width, bitmap.height, {}};
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x) image.pixels.push_back(bitmap.colour(x, y));
  return image;
}

Image sprite_image(const Bytes& sprite, bool multicolour, const SpriteColours& colours) {
  if (sprite.size() < 63) throw std::runtime_error("a sprite has 63 bytes");
  const int by_code[4] = {colours.background, colours.multicolour1, colours.sprite,
                          colours.multicolour2};
  Image image{24, 21, {}};
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 24; ++x) {
      std::uint8_t byte = sprite[static_cast<std::size_t>(y * 3 + x / 8)];
      int code = multicolour ? byte >> (6 - (x % 8) / 2 * 2) & 3 : (byte >> (7 - x % 8) & 1) * 2;
      image.pixels.push_back(c64_colour(by_code[code]));
    }
  return image;
}

Image scaled(const Image& image, int scale) {
  Image out{image.width * scale, image.height * scale, {}};
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.pixels.push_back(image.at(x / scale, y / scale));
  return out;
}

Image side_by_side(const Image& left, const Image& right, int gap, std::uint32_t colour) {
  Image out{left.width + gap + right.width, std::max(left.height, right.height), {}};
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      int rx = x - left.width - gap;
      if (x < left.width && y < left.height)
        out.pixels.push_back(left.at(x, y));
      else if (rx >= 0 && y < right.height)
        out.pixels.push_back(right.at(rx, y));
      else
        out.pixels.push_back(colour);
    }
  return out;
}

Image side_by_side_all(const std::vector<Image>& images, int gap, std::uint32_t colour) {
  if (images.empty()) throw std::runtime_error("no picture");
  Image out = images.front();
  for (std::size_t i = 1; i < images.size(); ++i) out = side_by_side(out, images[i], gap, colour);
  return out;
}

Image blank(int width, int height, std::uint32_t colour) {
  return {width, height,
          std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), colour)};
}

void draw_text(Image& image, int x, int y, std::string_view text, std::uint32_t colour, int scale) {
  for (char character : text) {
    std::size_t glyph = std::string_view(font_characters).find(character);
    if (glyph == std::string_view::npos) throw std::runtime_error("no glyph for a character");
    for (int row = 0; row < 5; ++row)
      for (int column = 0; column < 3; ++column)
        if (font[glyph][row] >> (2 - column) & 1)
          fill(image, x + column * scale, y + row * scale, scale, scale, colour);
    x += 4 * scale;
  }
}

Image index_picture(const IndexedBitmap& bitmap, int cell) {
  Image image = blank(bitmap.width * cell, bitmap.height * cell, 0xFFFFFF);
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x)
      draw_index_cell(image, x * cell, y * cell, cell, bitmap.colour(x, y), bitmap.at(x, y), false);
  return image;
}

Image row_picture(const IndexedBitmap& bitmap, const Bytes& sprite, const SpriteColours& colours,
                  int cell) {
  if (bitmap.width < 24 || sprite.size() < 3) throw std::runtime_error("a row needs 24 pixels");
  const int by_code[4] = {colours.background, colours.multicolour1, colours.sprite,
                          colours.multicolour2};
  int gap = cell / 2;
  Image image = blank(24 * cell, 3 * cell + 2 * gap + cell, 0xFFFFFF);
  for (int x = 0; x < 24; ++x)  // the bitmap's top row; the left-hand pixel of each pair fades
    draw_index_cell(image, x * cell, 0, cell, bitmap.colour(x, 0), bitmap.at(x, 0), x % 2 == 0);
  int codes_at = cell + gap;
  for (int pixel = 0; pixel < 12; ++pixel) {  // the sprite pixels with their bit pairs
    int code = sprite[static_cast<std::size_t>(pixel / 4)] >> (6 - pixel % 4 * 2) & 3;
    std::uint32_t colour = c64_colour(by_code[code]);
    fill(image, pixel * 2 * cell, codes_at, 2 * cell, cell, 0x808080);
    fill(image, pixel * 2 * cell + 1, codes_at + 1, 2 * cell - 2, cell - 2, colour);
    const char bits[3] = {static_cast<char>('0' + (code >> 1)), static_cast<char>('0' + (code & 1)),
                          0};
    draw_centred(image, pixel * 2 * cell, codes_at, 2 * cell, cell, bits, contrast(colour));
  }
  int bytes_at = codes_at + cell + gap;
  for (int byte = 0; byte < 3; ++byte) {  // the bytes, in hexadecimal and decimal
    int left = byte * 8 * cell;
    fill(image, left + 1, bytes_at + 1, 8 * cell - 2, 2 * cell - 2, 0x000000);
    fill(image, left + 3, bytes_at + 3, 8 * cell - 6, 2 * cell - 6, 0xFFFFFF);
    int value = sprite[static_cast<std::size_t>(byte)];
    std::string bits;
    for (int bit = 7; bit >= 0; --bit) bits += static_cast<char>('0' + (value >> bit & 1));
    draw_centred(image, left, bytes_at + 3, 8 * cell, cell - 3, bits, 0x000000);
    draw_centred(image, left, bytes_at + cell - 3, 8 * cell, cell - 3, "=" + std::to_string(value),
                 0x000000);
  }
  return image;
}

Bytes encode_png(const Image& image) {
  Bytes rgb;
  rgb.reserve(image.pixels.size() * 3);
  for (std::uint32_t colour : image.pixels)
    for (int shift : {16, 8, 0}) rgb.push_back(static_cast<std::uint8_t>(colour >> shift));
  png_image description{};
  description.version = PNG_IMAGE_VERSION;
  description.width = static_cast<png_uint_32>(image.width);
  description.height = static_cast<png_uint_32>(image.height);
  description.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(description, size, 0, rgb.data(), 0, nullptr))
    throw std::runtime_error(std::string("PNG: ") + description.message);
  Bytes png(size);
  if (!png_image_write_to_memory(&description, png.data(), &size, 0, rgb.data(), 0, nullptr))
    throw std::runtime_error(std::string("PNG: ") + description.message);
  png.resize(size);
  return png;
}

}  // namespace render
