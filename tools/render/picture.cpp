#include "picture.hpp"

#include <png.h>

#include <stdexcept>
#include <string>

namespace render {

namespace {

std::uint32_t little(const Bytes& file, std::size_t offset, int size) {
  if (offset + static_cast<std::size_t>(size) > file.size()) throw std::runtime_error("short BMP");
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | file[offset + static_cast<std::size_t>(i)];
  return value;
}

}  // namespace

std::uint32_t c64_colour(int index) {
  static const std::array<std::uint32_t, 16> colours = {
      0x000000, 0xFFFFFF, 0x68372B, 0x70A4B2, 0x6F3D86, 0x588D43, 0x352879, 0xB8C76F,
      0x6F4F25, 0x433900, 0x9A6759, 0x444444, 0x6C6C6C, 0x9AD284, 0x6C5EB5, 0x959595};
  return colours[static_cast<std::size_t>(index & 15)];
}

Image decode_bmp(const Bytes& file) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') throw std::runtime_error("not a BMP");
  std::uint32_t data = little(file, 10, 4), info = little(file, 14, 4);
  auto width = static_cast<std::int32_t>(little(file, 18, 4));
  auto height = static_cast<std::int32_t>(little(file, 22, 4));
  int bits = static_cast<int>(little(file, 28, 2));
  if ((bits != 1 && bits != 4 && bits != 8) || little(file, 30, 4) != 0 || width <= 0)
    throw std::runtime_error("not an uncompressed 1, 4 or 8-bit BMP");
  bool top_down = height < 0;
  Image image{width, top_down ? -height : height, {}};
  std::size_t stride =
      ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
  for (int y = 0; y < image.height; ++y) {
    std::size_t row = data + stride * static_cast<std::size_t>(top_down ? y : image.height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::size_t bit = static_cast<std::size_t>(x * bits);
      int index =
          file.at(row + bit / 8) >> (8 - bits - static_cast<int>(bit % 8)) & ((1 << bits) - 1);
      image.pixels.push_back(little(file, 14 + info + static_cast<std::size_t>(index) * 4, 3));
    }
  }
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
