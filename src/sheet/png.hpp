// PNG through stb_image: the one place that knows the decoder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sheet {

// The size a PNG's header gives, from its first bytes; false when they are
// no PNG header.
bool png_size(const std::vector<std::uint8_t>& start, int& width, int& height);

// Decodes a PNG of any colour type into 8-bit red, green, blue and alpha,
// values as stored (no gamma); "" or why it cannot.
std::string decode_png(const std::vector<std::uint8_t>& file, int& width, int& height,
                       std::shared_ptr<const std::uint8_t[]>& rgba);

}  // namespace sheet
