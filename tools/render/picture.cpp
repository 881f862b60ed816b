#include "picture.hpp"

#include <stdexcept>

namespace render {

namespace {

std::uint32_t little(const Bytes& file, std::size_t offset, int size) {
  if (offset + static_cast<std::size_t>(size) > file.size()) throw std::runtime_error("short BMP");
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | file[offset + static_cast<std::size_t>(i)];
  return value;
}

void put_big(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t crc32(const Bytes& bytes, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void put_chunk(Bytes& png, const char* type, const Bytes& data) {
  put_big(png, static_cast<std::uint32_t>(data.size()));
  std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put_big(png, crc32(png, start));
}

// A zlib stream of stored (uncompressed) blocks: no compressor needed.
Bytes zlib_stored(const Bytes& raw) {
  Bytes out = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
  std::size_t at = 0;
  do {
    std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    bool last = at + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(length));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(~length));
    out.push_back(static_cast<std::uint8_t>(~length >> 8));
    out.insert(out.end(), raw.begin() + static_cast<long>(at),
               raw.begin() + static_cast<long>(at + length));
    at += length;
  } while (at < raw.size());
  put_big(out, b << 16 | a);
  return out;
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
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  put_big(header, static_cast<std::uint32_t>(image.width));
  put_big(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  put_chunk(png, "IHDR", header);
  Bytes raw;
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < image.width; ++x)
      for (int shift : {16, 8, 0})
        raw.push_back(static_cast<std::uint8_t>(image.at(x, y) >> shift));
  }
  put_chunk(png, "IDAT", zlib_stored(raw));
  put_chunk(png, "IEND", {});
  return png;
}

}  // namespace render
