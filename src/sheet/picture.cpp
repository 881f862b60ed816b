// Reads quorvel-sheet's pictures: BMP field by field, PNG through stb_image (png.cpp).
#include "sheet/picture.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <string_view>

#include "sheet/png.hpp"

namespace sheet {

namespace {

std::uint32_t little(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size && at + i < bytes.size(); ++i)
    value |= std::uint32_t{bytes[at + i]} << (8 * i);
  return value;
}

std::int32_t signed_field(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::int32_t>(little(bytes, at, 4));
}

// The BMP header fields the reader needs.
struct BmpHeader {
  std::int64_t data_offset, info_size, width, height, bits, compression, colours_used;
};

BmpHeader bmp_header(const std::vector<std::uint8_t>& bytes) {
  return {little(bytes, 10, 4),    little(bytes, 14, 4), signed_field(bytes, 18),
          signed_field(bytes, 22), little(bytes, 28, 2), little(bytes, 30, 4),
          little(bytes, 46, 4)};
}

std::string size_refusal(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return "it holds no pixels";
  if (width > largest_side || height > largest_side)
    return "it is " + std::to_string(width) + " by " + std::to_string(height) +
           " pixels, larger than 4096 by 4096";
  return "";
}

std::string bmp_refusal(const BmpHeader& header) {
  if (header.info_size == 12) return "an OS/2 bitmap: save it as a Windows BMP";
  if (header.info_size < 40) return "its BMP header is damaged";
  bool masks = header.compression == 3 || header.compression == 6;
  bool depth = header.bits == 1 || header.bits == 4 || header.bits == 8 || header.bits == 24 ||
               header.bits == 32;
  if (!depth)
    return "a BMP of " + std::to_string(header.bits) +
           " bits a pixel: save it at 1, 4, 8, 24 or 32";
  if (header.compression != 0 && !(masks && header.bits == 32))
    return "its pixels are compressed: save it without compression";
  std::int64_t rows = header.height < 0 ? -header.height : header.height;
  return size_refusal(header.width, rows);
}

// A colour channel by its mask, as 8 bits.
std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int width = std::popcount(mask);
  std::uint32_t value = (pixel & mask) >> shift;
  if (width >= 8) return static_cast<std::uint8_t>(value >> (width - 8));
  return static_cast<std::uint8_t>(value * 255 / ((1u << width) - 1));
}

// The channel masks of a 32-bit BMP: in the header (version 3 and later), or
// after a 40-byte one; the alpha mask only where the header has one.
// Without masks the fourth byte is no alpha.
std::array<std::uint32_t, 4> channel_masks(const std::vector<std::uint8_t>& bytes,
                                           const BmpHeader& header) {
  if (header.compression == 0) return {0xFF0000, 0xFF00, 0xFF, 0};
  bool alpha = header.info_size >= 56 || header.compression == 6;
  return {little(bytes, 54, 4), little(bytes, 58, 4), little(bytes, 62, 4),
          alpha ? little(bytes, 66, 4) : 0};
}

std::string decode_bmp(const std::vector<std::uint8_t>& bytes, Picture& picture) {
  BmpHeader header = bmp_header(bytes);
  if (std::string refused = bmp_refusal(header); !refused.empty()) return refused;
  bool top_down = header.height < 0;
  int width = static_cast<int>(header.width);
  int height = static_cast<int>(top_down ? -header.height : header.height);
  std::int64_t stride = (header.width * header.bits + 31) / 32 * 4;
  if (header.data_offset + stride * height > static_cast<std::int64_t>(bytes.size()))
    return "the file ends inside its pixel data: it is damaged or cut short";
  picture.width = width;
  picture.height = height;
  auto row_at = [&](int y) {
    return static_cast<std::size_t>(header.data_offset + stride * (top_down ? y : height - 1 - y));
  };
  if (header.bits <= 8) {
    picture.bits = static_cast<int>(header.bits);
    std::int64_t entries = header.colours_used != 0 ? header.colours_used : 1 << header.bits;
    for (std::int64_t i = 0; i < std::min<std::int64_t>(entries, 256); ++i) {
      std::size_t at = static_cast<std::size_t>(14 + header.info_size + 4 * i);
      if (static_cast<std::int64_t>(at) + 4 > header.data_offset) break;
      picture.palette.push_back(little(bytes, at, 3));
    }
    picture.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    int bits = picture.bits;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        std::uint8_t byte = bytes[row_at(y) + static_cast<std::size_t>(x * bits / 8)];
        picture.indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x)] =
            static_cast<std::uint8_t>(byte >> (8 - bits - x * bits % 8) & ((1 << bits) - 1));
      }
    return "";
  }
  std::array<std::uint32_t, 4> masks = channel_masks(bytes, header);
  std::shared_ptr<std::uint8_t[]> rgba(
      new std::uint8_t[static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4]);
  std::size_t step = static_cast<std::size_t>(header.bits / 8);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::size_t at = row_at(y) + static_cast<std::size_t>(x) * step;
      std::uint32_t pixel = little(bytes, at, step);
      std::uint8_t* out =
          rgba.get() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x)) *
                           4;
      if (step == 3) {
        out[0] = bytes[at + 2], out[1] = bytes[at + 1], out[2] = bytes[at], out[3] = 255;
        continue;
      }
      out[0] = channel(pixel, masks[0]);
      out[1] = channel(pixel, masks[1]);
      out[2] = channel(pixel, masks[2]);
      out[3] = masks[3] != 0 ? channel(pixel, masks[3]) : 255;
    }
  picture.rgba = rgba;
  return "";
}

bool starts_with(const std::vector<std::uint8_t>& bytes, std::string_view mark) {
  if (bytes.size() < mark.size()) return false;
  for (std::size_t i = 0; i < mark.size(); ++i)
    if (bytes[i] != static_cast<std::uint8_t>(mark[i])) return false;
  return true;
}

}  // namespace

Shape picture_shape(const std::vector<std::uint8_t>& start) {
  Shape shape;
  if (starts_with(start, "\x89PNG\r\n\x1A\n")) {
    shape.png = true;
    if (!png_size(start, shape.width, shape.height))
      shape.refusal = "its PNG header is damaged";
    else
      shape.refusal = size_refusal(shape.width, shape.height);
    return shape;
  }
  if (!starts_with(start, "BM") || start.size() < 54) {
    shape.refusal = start.empty() ? "the file is empty" : "it is neither a BMP nor a PNG picture";
    return shape;
  }
  BmpHeader header = bmp_header(start);
  shape.width = static_cast<int>(std::clamp<std::int64_t>(header.width, 0, largest_side + 1));
  shape.height = static_cast<int>(std::clamp<std::int64_t>(
      header.height < 0 ? -header.height : header.height, 0, largest_side + 1));
  shape.refusal = bmp_refusal(header);
  return shape;
}

std::string decode_picture(const std::vector<std::uint8_t>& file, Picture& picture) {
  if (!starts_with(file, "\x89PNG")) return decode_bmp(file, picture);
  picture.png = true;
  return decode_png(file, picture.width, picture.height, picture.rgba);
}

}  // namespace sheet
