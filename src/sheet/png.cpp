// PNG through stb_image (Debian's libstb-dev): PNG only, from memory, no
// stdio, at most 4096 pixels a side, and the size asked before decoding.
#include "sheet/png.hpp"

#include <algorithm>
#include <cstdint>

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

namespace sheet {

namespace {

std::uint32_t big_endian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

}  // namespace

// The signature, then the IHDR chunk: its length 13, its type, width, height.
bool png_size(const std::vector<std::uint8_t>& start, int& width, int& height) {
  if (start.size() < 24 || big_endian(start, 8) != 13 || big_endian(start, 12) != 0x49484452)
    return false;
  std::uint32_t wide = big_endian(start, 16), high = big_endian(start, 20);
  width = static_cast<int>(std::min<std::uint32_t>(wide, 1u << 30));
  height = static_cast<int>(std::min<std::uint32_t>(high, 1u << 30));
  return true;
}

#ifdef QUORVEL_PNG
// Why stb_image failed; some of its refusals (a chunk longer than the file)
// leave no reason.
std::string damaged() {
  const char* reason = stbi_failure_reason();
  return std::string("its PNG data is damaged") +
         (reason != nullptr ? std::string(" (") + reason + ")" : "");
}

std::string decode_png(const std::vector<std::uint8_t>& file, int& width, int& height,
                       std::shared_ptr<const std::uint8_t[]>& rgba) {
  if (file.size() > static_cast<std::size_t>(INT32_MAX)) return "it is too large";
  int channels = 0;
  auto length = static_cast<int>(file.size());
  if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels)) return damaged();
  stbi_uc* pixels = stbi_load_from_memory(file.data(), length, &width, &height, &channels, 4);
  if (pixels == nullptr) return damaged();
  rgba = std::shared_ptr<const std::uint8_t[]>(pixels, [](const std::uint8_t* decoded) {
    stbi_image_free(const_cast<std::uint8_t*>(decoded));
  });
  return "";
}
#else
std::string decode_png(const std::vector<std::uint8_t>&, int&, int&,
                       std::shared_ptr<const std::uint8_t[]>&) {
  return "this quorvel-sheet was built without a PNG decoder (libstb-dev): save the picture as "
         "a BMP, or build with libstb-dev installed";
}
#endif

}  // namespace sheet
