// The one picture reader of the companions, the tools and the page: a table of
// formats, each of which recognises its files, tells their size before
// anything is decoded, and decodes them into palette indices with their
// palette or into colours, top row first. The converter keeps its own
// streaming BMP reader, whose reads and console lines are its contract.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace picture {

using Bytes = std::vector<std::uint8_t>;

inline constexpr int largest_side = 4096;

struct Picture {
  int width = 0, height = 0;
  int bits = 0;                        // 1, 4 or 8 for an indexed picture; 0 for colours only
  std::vector<std::uint8_t> indices;   // indexed: width × height palette indices
  std::vector<std::uint32_t> palette;  // indexed: 0xRRGGBB by index
  // Colours only: width × height × 4 bytes, red, green, blue, alpha.
  std::shared_ptr<const std::uint8_t[]> rgba;
  std::string_view format;  // the name of its format's row: "BMP", "PNG"
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

// What the start of a file says of it: its format, the size that format
// gives, or why it cannot be read. Known before anything is decoded.
struct Shape {
  std::string_view format;  // empty: no format of the table
  int width = 0, height = 0;
  int depth = 0;        // the bits a pixel a BMP stores, as its header says
  std::string refusal;  // empty when it can be read
};

// One format: a name, how messages call its files, and its three steps. A
// format that is only recognised (so that messages can name it) has no size
// or decoder.
struct Format {
  std::string_view name;       // "PNG"
  std::string_view described;  // "a PNG picture"
  bool (*recognise)(std::span<const std::uint8_t> start);
  Shape (*shape)(const Bytes& start);                          // null: not read
  std::string (*decode)(const Bytes& file, Picture& picture);  // "" or why it cannot
};

// Every format the programs know, BMP and PNG read, the others named.
std::span<const Format> formats();

// The format a file's first bytes show, or null.
const Format* format_of(std::span<const std::uint8_t> start);

// The shape of a file from its first bytes (64 KiB hold any header).
Shape picture_shape(const Bytes& start);

// Decodes a whole file whose shape was accepted; "" or why it cannot.
std::string decode_picture(const Bytes& file, Picture& picture);

// The rows of each format, one file a format.
namespace bmp {
bool recognise(std::span<const std::uint8_t> start);
Shape shape(const Bytes& start);
std::string decode(const Bytes& file, Picture& picture);

// The palette index of pixel `x` of a stored row of `bits` a pixel (1, 4 or
// 8), the leftmost pixel in the highest bits: the one statement of BMP
// unpacking, shared by everything that reads a BMP's pixels.
inline int index_in_row(const std::uint8_t* row, std::int64_t x, int bits) {
  int shift = 8 - bits - static_cast<int>(x * bits % 8);
  return row[x * bits / 8] >> shift & ((1 << bits) - 1);
}
// Sets pixel `x` of a stored row to palette index `index`.
inline void set_index_in_row(std::uint8_t* row, std::int64_t x, int bits, int index) {
  int shift = 8 - bits - static_cast<int>(x * bits % 8);
  auto mask = static_cast<std::uint8_t>(((1 << bits) - 1) << shift);
  std::uint8_t& byte = row[x * bits / 8];
  byte = static_cast<std::uint8_t>((byte & ~mask) | (index << shift & mask));
}
// A copy of an indexed BMP with palette entries moved: each (from, to), in
// order, swaps the two entries' colours and their pixels, as the checker's
// fix says. Nullopt for a file that is no whole indexed BMP.
std::optional<Bytes> with_entries_moved(const Bytes& file,
                                        const std::vector<std::pair<int, int>>& moves);
// The bytes of a stored row of `width` pixels, padded to four.
inline std::int64_t row_stride(std::int64_t width, std::int64_t bits) {
  return (width * bits + 31) / 32 * 4;
}
}  // namespace bmp

namespace png {
bool recognise(std::span<const std::uint8_t> start);
Shape shape(const Bytes& start);
std::string decode(const Bytes& file, Picture& picture);
}  // namespace png

// Whether the file starts with `mark`.
bool starts_with(std::span<const std::uint8_t> bytes, std::string_view mark);
// Why a picture's size cannot be read, or "".
std::string size_refusal(std::int64_t width, std::int64_t height);

}  // namespace picture
