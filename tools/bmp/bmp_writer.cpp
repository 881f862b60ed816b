// Writes uncompressed indexed BMP files from pixel grids.
#include "bmp_writer.hpp"

#include <stdexcept>

namespace bmp_writer {

namespace {

constexpr std::size_t file_header_size = 14;
constexpr std::size_t info_header_size = 40;

// Fields are set with at(): a caller that sets one past a cut file is told.
void put_u32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint8_t index_of(char c) {
  if (c == '.') return 0;
  if (c == '#') return 1;
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  throw std::invalid_argument(std::string("not a pixel: ") + c);
}

// One stored row: pixels packed high bits first, padded to a multiple of 4 bytes.
Bytes pack_row(const std::vector<std::uint8_t>& row, int bits) {
  std::size_t row_bits = row.size() * static_cast<std::size_t>(bits);
  Bytes packed(((row_bits + 31) / 32) * 4, 0);
  for (std::size_t x = 0; x < row.size(); ++x) {
    std::size_t bit = x * static_cast<std::size_t>(bits);
    int shift = 8 - bits - static_cast<int>(bit % 8);
    packed[bit / 8] = static_cast<std::uint8_t>(packed[bit / 8] | (row[x] << shift));
  }
  return packed;
}

// The given colours, then a grey ramp: the palette plays no part in the conversion.
void append_palette(Bytes& bytes, int entries, const std::vector<std::uint32_t>& colours) {
  for (int i = 0; i < entries; ++i) {
    auto level = static_cast<std::uint8_t>(entries > 1 ? i * 255 / (entries - 1) : 0);
    std::uint32_t rgb = static_cast<std::size_t>(i) < colours.size()
                            ? colours[static_cast<std::size_t>(i)]
                            : std::uint32_t{level} * 0x010101;
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                               static_cast<std::uint8_t>(rgb >> 16), 0});
  }
}

}  // namespace

PixelRows grid(const std::vector<std::string>& rows) {
  PixelRows pixels;
  for (const std::string& row : rows) {
    std::vector<std::uint8_t> indices;
    for (char c : row) indices.push_back(index_of(c));
    pixels.push_back(indices);
  }
  return pixels;
}

void put_u16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void put_i32(Bytes& bytes, std::size_t offset, std::int32_t value) {
  put_u32(bytes, offset, static_cast<std::uint32_t>(value));
}

Bytes encode_bmp(const BmpPicture& picture) {
  int entries = picture.palette_entries >= 0 ? picture.palette_entries : 1 << picture.bits;
  auto width = static_cast<std::int32_t>(picture.pixels.empty() ? 0 : picture.pixels[0].size());
  auto height = static_cast<std::int32_t>(picture.pixels.size());
  Bytes bytes(file_header_size + info_header_size, 0);
  append_palette(bytes, entries, picture.colours);
  std::size_t data_offset = bytes.size();
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    std::size_t y = picture.top_down ? i : picture.pixels.size() - 1 - i;
    Bytes row = pack_row(picture.pixels[y], picture.bits);
    bytes.insert(bytes.end(), row.begin(), row.end());
  }
  bytes[0] = 'B';
  bytes[1] = 'M';
  put_u32(bytes, at_bfSize, static_cast<std::uint32_t>(bytes.size()));
  put_u32(bytes, at_bfOffBits, static_cast<std::uint32_t>(data_offset));
  put_u32(bytes, at_biSize, info_header_size);
  put_i32(bytes, at_biWidth, width);
  put_i32(bytes, at_biHeight, picture.top_down ? -height : height);
  put_u16(bytes, 26, 1);  // biPlanes
  put_u16(bytes, at_biBitCount, static_cast<std::uint16_t>(picture.bits));
  put_u32(bytes, 34, static_cast<std::uint32_t>(bytes.size() - data_offset));  // biSizeImage
  put_u32(bytes, 46, static_cast<std::uint32_t>(entries));                     // biClrUsed
  return bytes;
}

}  // namespace bmp_writer
