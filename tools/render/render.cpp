// Draws the documentation's pictures as PNG files.
//
//   render panels OUT.png BITMAP.bmp [COLOURS SPRITE]...
//       the bitmap with each pixel's palette index, then each sprite as a C64
//       shows it in its colours;
//   render row OUT.png BITMAP.bmp COLOURS SPRITE
//       how the bitmap's top row becomes the sprite's first three bytes.
//
// SPRITE is a file of 63 sprite bytes (converted with "none"); COLOURS are the
// C64 colour numbers shown for the codes 00, 01, 10 and 11, as "BG,MC1,SPRITE,MC2".
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "picture.hpp"

namespace {

constexpr int cell = 16;
constexpr int gap = 24;

render::Bytes read_all(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

render::SpriteColours parse_colours(const std::string& text) {
  render::SpriteColours colours;
  char comma;
  std::istringstream(text) >> colours.background >> comma >> colours.multicolour1 >> comma >>
      colours.sprite >> comma >> colours.multicolour2;
  return colours;
}

render::Image panels(const render::IndexedBitmap& bitmap, const std::vector<std::string>& rest) {
  std::vector<render::Image> pictures{render::index_picture(bitmap, cell)};
  for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
    render::Image sprite =
        render::sprite_image(read_all(rest[i + 1]), bitmap.bits != 1, parse_colours(rest[i]));
    pictures.push_back(render::scaled(sprite, cell));
  }
  return render::side_by_side_all(pictures, gap, 0xFFFFFF);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  bool row = arguments.size() == 5 && arguments[0] == "row";
  bool panel = arguments.size() >= 3 && arguments.size() % 2 == 1 && arguments[0] == "panels";
  if (!row && !panel) {
    std::cerr << "usage: render panels OUT.png BITMAP.bmp [COLOURS SPRITE]...\n"
                 "       render row OUT.png BITMAP.bmp COLOURS SPRITE\n";
    return 2;
  }
  try {
    render::IndexedBitmap bitmap = render::decode_indexed_bmp(read_all(arguments[2]));
    std::vector<std::string> rest(arguments.begin() + 3, arguments.end());
    render::Image picture =
        row ? render::row_picture(bitmap, read_all(rest[1]), parse_colours(rest[0]), 2 * cell)
            : panels(bitmap, rest);
    render::Bytes png = render::encode_png(picture);
    std::ofstream(arguments[1], std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  } catch (const std::exception& error) {
    std::cerr << "render: " << error.what() << "\n";
    return 1;
  }
}
