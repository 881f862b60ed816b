// The picture reader's table of formats, and the steps that pick a row.
#include "picture/picture.hpp"

#include <array>

namespace picture {

namespace {

bool jpeg(std::span<const std::uint8_t> start) {
  return starts_with(start, "\xFF\xD8\xFF");
}
bool gif(std::span<const std::uint8_t> start) {
  return starts_with(start, "GIF8");
}

// A format is a row: BMP and PNG are read; JPEG and GIF only named, so that
// a message can say what the file is.
constexpr std::array<Format, 4> table = {{
    {"BMP", "a BMP picture", bmp::recognise, bmp::shape, bmp::decode},
    {"PNG", "a PNG picture", png::recognise, png::shape, png::decode},
    {"JPEG", "a JPEG picture", jpeg, nullptr, nullptr},
    {"GIF", "a GIF picture", gif, nullptr, nullptr},
}};

}  // namespace

std::span<const Format> formats() {
  return table;
}

const Format* format_of(std::span<const std::uint8_t> start) {
  for (const Format& format : table)
    if (format.recognise(start)) return &format;
  return nullptr;
}

Shape picture_shape(const Bytes& start) {
  const Format* format = format_of(start);
  if (format != nullptr && format->shape != nullptr) return format->shape(start);
  Shape shape;
  shape.refusal = start.empty() ? "the file is empty" : "it is neither a BMP nor a PNG picture";
  return shape;
}

std::string decode_picture(const Bytes& file, Picture& picture) {
  const Format* format = format_of(file);
  if (format == nullptr || format->decode == nullptr)
    return "it is neither a BMP nor a PNG picture";
  picture.format = format->name;
  return format->decode(file, picture);
}

bool starts_with(std::span<const std::uint8_t> bytes, std::string_view mark) {
  if (bytes.size() < mark.size()) return false;
  for (std::size_t i = 0; i < mark.size(); ++i)
    if (bytes[i] != static_cast<std::uint8_t>(mark[i])) return false;
  return true;
}

std::string size_refusal(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return "it holds no pixels";
  if (width > largest_side || height > largest_side)
    return "it is " + std::to_string(width) + " by " + std::to_string(height) +
           " pixels, larger than 4096 by 4096";
  return "";
}

}  // namespace picture
