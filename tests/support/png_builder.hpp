// PNG files made in memory for the tests, in every colour type, with stored
// (uncompressed) deflate blocks: no library needed.
#pragma once

#include <cstdint>
#include <vector>

namespace testing_support {

struct PngPicture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows top first
  // 0 grey (from red), 2 RGB, 3 palette (with tRNS where a colour is not
  // opaque), 4 grey and alpha, 6 RGB and alpha.
  int colour_type = 6;
  int depth = 8;  // 8, or 16 for types 0, 2, 4 and 6
};

std::vector<std::uint8_t> encode_png(const PngPicture& picture);

}  // namespace testing_support
