// Renders a bitmap and the sprite made of it side by side as a PNG, the
// sprite as a C64 shows it.
//
//   render BITMAP.bmp SPRITE OUT.png [multi|hires] [SKIP] [BG,MC1,SPRITE,MC2]
//
// SKIP is the number of bytes before the sprite (2 for a load address); the
// colours are C64 colour numbers for the codes 00, 01, 10 and 11.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "picture.hpp"

namespace {

render::Bytes read_all(const char* path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error(std::string("cannot read ") + path);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

render::SpriteColours parse_colours(const std::string& text) {
  render::SpriteColours colours;
  char comma;
  std::istringstream(text) >> colours.background >> comma >> colours.multicolour1 >> comma >>
      colours.sprite >> comma >> colours.multicolour2;
  return colours;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 7) {
    std::cerr
        << "usage: render BITMAP.bmp SPRITE OUT.png [multi|hires] [SKIP] [BG,MC1,SPRITE,MC2]\n";
    return 2;
  }
  try {
    bool multicolour = argc < 5 || std::string(argv[4]) != "hires";
    std::size_t skip = argc > 5 ? std::stoul(argv[5]) : 2;
    render::SpriteColours colours = argc > 6 ? parse_colours(argv[6]) : render::SpriteColours{};
    render::Bytes sprite = read_all(argv[2]);
    sprite.erase(sprite.begin(), sprite.begin() + static_cast<long>(std::min(skip, sprite.size())));
    render::Image picture = render::side_by_side(
        render::scaled(render::decode_bmp(read_all(argv[1])), 8),
        render::scaled(render::sprite_image(sprite, multicolour, colours), 8), 32, 0xFFFFFF);
    render::Bytes png = render::encode_png(picture);
    std::ofstream(argv[3], std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  } catch (const std::exception& error) {
    std::cerr << "render: " << error.what() << "\n";
    return 1;
  }
}
