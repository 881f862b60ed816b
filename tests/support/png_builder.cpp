// Writes the tests' PNG files: signature, IHDR, PLTE and tRNS where needed, IDAT, IEND.
#include "support/png_builder.hpp"

#include <algorithm>
#include <string>

namespace testing_support {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t crc32(const Bytes& bytes, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void put32(Bytes& bytes, std::uint32_t value) {
  for (int shift : {24, 16, 8, 0}) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void chunk(Bytes& png, const std::string& type, const Bytes& data) {
  put32(png, static_cast<std::uint32_t>(data.size()));
  std::size_t start = png.size();
  png.insert(png.end(), type.begin(), type.end());
  png.insert(png.end(), data.begin(), data.end());
  put32(png, crc32(png, start));
}

// zlib around stored deflate blocks.
Bytes zlib_stored(const Bytes& raw) {
  Bytes out = {0x78, 0x01};
  std::size_t at = 0;
  do {
    std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
    out.push_back(at + length == raw.size() ? 1 : 0);
    out.insert(out.end(),
               {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                static_cast<std::uint8_t>(~length), static_cast<std::uint8_t>(~length >> 8)});
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
  put32(out, b << 16 | a);
  return out;
}

void sample(Bytes& row, std::uint32_t value, int depth) {
  row.push_back(static_cast<std::uint8_t>(value));
  if (depth == 16) row.push_back(static_cast<std::uint8_t>(value));  // 0xAB as 0xABAB
}

}  // namespace

Bytes encode_png(const PngPicture& picture) {
  std::vector<std::uint32_t> palette;
  if (picture.colour_type == 3)
    for (std::uint32_t pixel : picture.pixels)
      if (std::find(palette.begin(), palette.end(), pixel) == palette.end())
        palette.push_back(pixel);
  Bytes raw;
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < picture.width; ++x) {
      std::uint32_t pixel = picture.pixels[static_cast<std::size_t>(y * picture.width + x)];
      std::uint32_t red = pixel >> 16 & 255, green = pixel >> 8 & 255, blue = pixel & 255,
                    alpha = pixel >> 24;
      switch (picture.colour_type) {
        case 0:
          sample(raw, red, picture.depth);
          break;
        case 3:
          raw.push_back(static_cast<std::uint8_t>(std::find(palette.begin(), palette.end(), pixel) -
                                                  palette.begin()));
          break;
        case 4:
          sample(raw, red, picture.depth), sample(raw, alpha, picture.depth);
          break;
        default:
          sample(raw, red, picture.depth), sample(raw, green, picture.depth),
              sample(raw, blue, picture.depth);
          if (picture.colour_type == 6) sample(raw, alpha, picture.depth);
      }
    }
  }
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  put32(header, static_cast<std::uint32_t>(picture.width));
  put32(header, static_cast<std::uint32_t>(picture.height));
  header.insert(header.end(), {static_cast<std::uint8_t>(picture.depth),
                               static_cast<std::uint8_t>(picture.colour_type), 0, 0, 0});
  chunk(png, "IHDR", header);
  if (picture.colour_type == 3) {
    Bytes entries, alphas;
    for (std::uint32_t colour : palette) {
      entries.insert(entries.end(),
                     {static_cast<std::uint8_t>(colour >> 16),
                      static_cast<std::uint8_t>(colour >> 8), static_cast<std::uint8_t>(colour)});
      alphas.push_back(static_cast<std::uint8_t>(colour >> 24));
    }
    chunk(png, "PLTE", entries);
    if (std::any_of(alphas.begin(), alphas.end(), [](std::uint8_t a) { return a != 255; }))
      chunk(png, "tRNS", alphas);
  }
  chunk(png, "IDAT", zlib_stored(raw));
  chunk(png, "IEND", {});
  return png;
}

}  // namespace testing_support
