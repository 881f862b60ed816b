// The BMP row of the picture reader: headers read field by field, every
// common depth (1, 4, 8 bits with a palette; 24 and 32 bits of colour).
#include <algorithm>
#include <array>
#include <bit>

#include "picture/picture.hpp"

namespace picture::bmp {

namespace {

std::uint32_t little(const Bytes& bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size && at + i < bytes.size(); ++i)
    value |= std::uint32_t{bytes[at + i]} << (8 * i);
  return value;
}

std::int32_t signed_field(const Bytes& bytes, std::size_t at) {
  return static_cast<std::int32_t>(little(bytes, at, 4));
}

// The header fields the reader needs, in file order.
struct Header {
  std::int64_t data_offset, info_size, width, height, bits, compression, colours_used;
};

Header header_of(const Bytes& bytes) {
  return {little(bytes, 10, 4),     // bfOffBits
          little(bytes, 14, 4),     // biSize
          signed_field(bytes, 18),  // biWidth
          signed_field(bytes, 22),  // biHeight: negative when stored top-down
          little(bytes, 28, 2),     // biBitCount
          little(bytes, 30, 4),     // biCompression
          little(bytes, 46, 4)};    // biClrUsed
}

std::string refusal(const Header& header) {
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
std::array<std::uint32_t, 4> channel_masks(const Bytes& bytes, const Header& header) {
  if (header.compression == 0) return {0xFF0000, 0xFF00, 0xFF, 0};
  bool alpha = header.info_size >= 56 || header.compression == 6;
  return {little(bytes, 54, 4), little(bytes, 58, 4), little(bytes, 62, 4),
          alpha ? little(bytes, 66, 4) : 0};
}

// Where row `y` (from the top) is stored.
struct Rows {
  std::int64_t data_offset, stride;
  int height;
  bool top_down;
  std::size_t at(int y) const {
    return static_cast<std::size_t>(data_offset + stride * (top_down ? y : height - 1 - y));
  }
};

// One stored row's indices, for a depth known when compiled: a sheet has
// many pixels, and the shifts and masks then cost next to nothing.
template <int bits>
void unpack_row(const std::uint8_t* row, std::uint8_t* indices, std::size_t width) {
  constexpr int per_byte = 8 / bits, mask = (1 << bits) - 1;
  // as index_in_row, a whole byte at a time
  for (std::size_t x = 0; x < width; ++row)
    for (int k = 0; k < per_byte && x < width; ++k, ++x)
      indices[x] = static_cast<std::uint8_t>(*row >> (8 - bits - k * bits) & mask);
}

void decode_indexed(const Bytes& bytes, const Header& header, const Rows& rows, Picture& picture) {
  picture.bits = static_cast<int>(header.bits);
  std::int64_t entries = header.colours_used != 0 ? header.colours_used : 1 << header.bits;
  for (std::int64_t i = 0; i < std::min<std::int64_t>(entries, 256); ++i) {
    std::size_t at = static_cast<std::size_t>(14 + header.info_size + 4 * i);
    if (static_cast<std::int64_t>(at) + 4 > header.data_offset) break;
    picture.palette.push_back(little(bytes, at, 3));
  }
  auto width = static_cast<std::size_t>(picture.width);
  picture.indices.resize(width * static_cast<std::size_t>(picture.height));
  auto unpack = picture.bits == 8   ? unpack_row<8>
                : picture.bits == 4 ? unpack_row<4>
                                    : unpack_row<1>;
  for (int y = 0; y < picture.height; ++y)
    unpack(bytes.data() + rows.at(y), picture.indices.data() + static_cast<std::size_t>(y) * width,
           width);
}

void decode_colours(const Bytes& bytes, const Header& header, const Rows& rows, Picture& picture) {
  std::array<std::uint32_t, 4> masks = channel_masks(bytes, header);
  auto width = static_cast<std::size_t>(picture.width);
  std::shared_ptr<std::uint8_t[]> rgba(
      new std::uint8_t[width * static_cast<std::size_t>(picture.height) * 4]);
  std::size_t step = static_cast<std::size_t>(header.bits / 8);
  for (int y = 0; y < picture.height; ++y)
    for (std::size_t x = 0; x < width; ++x) {
      std::size_t at = rows.at(y) + x * step;
      std::uint8_t* out = rgba.get() + (static_cast<std::size_t>(y) * width + x) * 4;
      if (step == 3) {
        out[0] = bytes[at + 2], out[1] = bytes[at + 1], out[2] = bytes[at], out[3] = 255;
        continue;
      }
      std::uint32_t pixel = little(bytes, at, step);
      out[0] = channel(pixel, masks[0]);
      out[1] = channel(pixel, masks[1]);
      out[2] = channel(pixel, masks[2]);
      out[3] = masks[3] != 0 ? channel(pixel, masks[3]) : 255;
    }
  picture.rgba = rgba;
}

}  // namespace

bool recognise(std::span<const std::uint8_t> start) {
  return starts_with(start, "BM");
}

Shape shape(const Bytes& start) {
  Shape shape;
  shape.format = "BMP";
  if (start.size() < 54) {
    shape.refusal = "it is neither a BMP nor a PNG picture";
    return shape;
  }
  Header header = header_of(start);
  shape.width = static_cast<int>(std::clamp<std::int64_t>(header.width, 0, largest_side + 1));
  shape.height = static_cast<int>(std::clamp<std::int64_t>(
      header.height < 0 ? -header.height : header.height, 0, largest_side + 1));
  shape.depth = static_cast<int>(header.bits);
  shape.refusal = refusal(header);
  return shape;
}

std::string decode(const Bytes& bytes, Picture& picture) {
  Header header = header_of(bytes);
  if (std::string refused = refusal(header); !refused.empty()) return refused;
  bool top_down = header.height < 0;
  int height = static_cast<int>(top_down ? -header.height : header.height);
  Rows rows{header.data_offset, row_stride(header.width, header.bits), height, top_down};
  if (header.data_offset + rows.stride * height > static_cast<std::int64_t>(bytes.size()))
    return "the file ends inside its pixel data: it is damaged or cut short";
  picture.width = static_cast<int>(header.width);
  picture.height = height;
  if (header.bits <= 8)
    decode_indexed(bytes, header, rows, picture);
  else
    decode_colours(bytes, header, rows, picture);
  return "";
}

std::optional<Bytes> with_entries_moved(const Bytes& file,
                                        const std::vector<std::pair<int, int>>& moves) {
  Picture read;
  if (!recognise(file) || !decode(file, read).empty() || read.bits == 0) return std::nullopt;
  std::vector<int> order(std::size_t{1} << read.bits);  // the old index at each place
  for (std::size_t place = 0; place < order.size(); ++place) order[place] = static_cast<int>(place);
  for (const auto& [from, to] : moves) {
    auto at = std::find(order.begin(), order.end(), from);
    if (at == order.end() || to < 0 || static_cast<std::size_t>(to) >= order.size())
      return std::nullopt;
    std::swap(*at, order[static_cast<std::size_t>(to)]);
  }
  std::vector<int> new_index(order.size());
  for (std::size_t place = 0; place < order.size(); ++place)
    new_index[static_cast<std::size_t>(order[place])] = static_cast<int>(place);
  Header header = header_of(file);
  Bytes copy = file;
  for (std::size_t place = 0; place < order.size(); ++place) {
    std::size_t from = static_cast<std::size_t>(14 + header.info_size + 4 * order[place]);
    std::size_t to = static_cast<std::size_t>(14 + header.info_size) + 4 * place;
    if (static_cast<std::int64_t>(std::max(from, to)) + 4 <= header.data_offset)
      std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(from), 4,
                  copy.begin() + static_cast<std::ptrdiff_t>(to));
  }
  Rows rows{header.data_offset, row_stride(header.width, header.bits), read.height,
            header.height < 0};
  for (int y = 0; y < read.height; ++y)
    for (int x = 0; x < read.width; ++x) {
      int old = read.indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(read.width) +
                             static_cast<std::size_t>(x)];
      set_index_in_row(copy.data() + rows.at(y), x, read.bits,
                       new_index[static_cast<std::size_t>(old)]);
    }
  return copy;
}

}  // namespace picture::bmp
