// The PNG row of the picture reader, through stb_image (Debian's libstb-dev):
// PNG only, from memory, no stdio, at most 4096 pixels a side, and the size
// read from the header before anything is decoded.
#include <algorithm>
#include <cstdint>

#include "picture/picture.hpp"

#ifdef QUORVEL_PNG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 4096
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#endif

namespace picture::png {

namespace {

std::uint32_t big_endian(const Bytes& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

#ifdef QUORVEL_PNG
// Why stb_image failed; some of its refusals (a chunk longer than the file)
// leave no reason.
std::string damaged() {
  const char* reason = stbi_failure_reason();
  return std::string("its PNG data is damaged") +
         (reason != nullptr ? std::string(" (") + reason + ")" : "");
}
#endif

}  // namespace

bool recognise(std::span<const std::uint8_t> start) {
  return starts_with(start, "\x89PNG");
}

// The whole signature, then the IHDR chunk: its length 13, its type, width, height.
Shape shape(const Bytes& start) {
  Shape shape;
  shape.format = "PNG";
  if (!starts_with(start, "\x89PNG\r\n\x1A\n") || start.size() < 24 || big_endian(start, 8) != 13 ||
      big_endian(start, 12) != 0x49484452) {
    shape.refusal = "its PNG header is damaged";
    return shape;
  }
  shape.width = static_cast<int>(std::min<std::uint32_t>(big_endian(start, 16), 1u << 30));
  shape.height = static_cast<int>(std::min<std::uint32_t>(big_endian(start, 20), 1u << 30));
  shape.refusal = size_refusal(shape.width, shape.height);
  return shape;
}

#ifdef QUORVEL_PNG
// Any colour type, as 8-bit red, green, blue and alpha, values as stored (no gamma).
std::string decode(const Bytes& file, Picture& picture) {
  if (file.size() > static_cast<std::size_t>(INT32_MAX)) return "it is too large";
  int channels = 0;
  auto length = static_cast<int>(file.size());
  if (!stbi_info_from_memory(file.data(), length, &picture.width, &picture.height, &channels))
    return damaged();
  stbi_uc* pixels =
      stbi_load_from_memory(file.data(), length, &picture.width, &picture.height, &channels, 4);
  if (pixels == nullptr) return damaged();
  picture.rgba = std::shared_ptr<const std::uint8_t[]>(pixels, [](const std::uint8_t* decoded) {
    stbi_image_free(const_cast<std::uint8_t*>(decoded));
  });
  return "";
}
#else
std::string decode(const Bytes&, Picture&) {
  return "this quorvel-sheet was built without a PNG decoder (libstb-dev): save the picture as "
         "a BMP, or build with libstb-dev installed";
}
#endif

}  // namespace picture::png
