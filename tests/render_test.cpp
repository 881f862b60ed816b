// The documentation's pictures: a sprite must look as a C64 shows it.
#include <gtest/gtest.h>

#include "picture.hpp"
#include "support/scenario.hpp"

namespace {

const render::SpriteColours colours{
    .background = 0, .multicolour1 = 2, .sprite = 5, .multicolour2 = 6};

TEST(Render, MulticolourPixelsAreTwoWideInTheirColours) {
  render::Bytes sprite(63, 0);
  sprite[0] = 108;  // codes 01 10 11 00
  render::Image image = render::sprite_image(sprite, true, colours);
  ASSERT_EQ(image.width, 24);
  ASSERT_EQ(image.height, 21);
  const std::uint32_t expected[8] = {0x68372B, 0x68372B, 0x588D43, 0x588D43,
                                     0x352879, 0x352879, 0x000000, 0x000000};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(image.at(x, 0), expected[x]) << x;
  EXPECT_EQ(image.at(0, 1), 0x000000u);
}

TEST(Render, HiresBitsUseTheSpriteColour) {
  render::Bytes sprite(63, 0);
  sprite[62] = 0x01;  // the last pixel of the bottom row
  render::Image image = render::sprite_image(sprite, false, colours);
  EXPECT_EQ(image.at(23, 20), 0x588D43u);
  EXPECT_EQ(image.at(22, 20), 0x000000u);
}

TEST(Render, BitmapsShowTheirOwnPalette) {
  using namespace testing_support;
  render::Image image = render::decode_bmp(encode_bmp({.bits = 4, .pixels = grid({"0f", "f0"})}));
  ASSERT_EQ(image.width, 2);
  EXPECT_EQ(image.at(1, 0), 0xFFFFFFu);  // the builder's grey ramp: index 15 is white
  EXPECT_EQ(image.at(0, 0), 0x000000u);
  EXPECT_EQ(image.at(0, 1), 0xFFFFFFu);
}

// The row picture: right-hand pixels in their colour, left-hand ones faded,
// and under each pair the sprite pixel in the colour of its code.
TEST(Render, RowPictureShowsWhichPixelCounts) {
  using namespace testing_support;
  std::string top = "21" + std::string(22, '0');
  PixelRows pixels = grid({top});
  pixels.resize(21, std::vector<std::uint8_t>(24, 0));
  render::IndexedBitmap bitmap = render::decode_indexed_bmp(
      encode_bmp({.bits = 4, .pixels = pixels, .colours = {0x0000FF, 0xFF0000, 0x00FF00}}));
  render::Bytes sprite(63, 0);
  sprite[0] = 0x40;  // the first sprite pixel has code 01
  render::Image image = render::row_picture(bitmap, sprite, colours, 10);
  EXPECT_EQ(image.at(11, 1), 0xFF0000u);              // column 1 holds index 1: red
  EXPECT_EQ(image.at(1, 1), 0x7FFF7Fu);               // column 0, index 2 (green), faded
  EXPECT_EQ(image.at(2, 17), render::c64_colour(2));  // code 01: multicolour 1
}

TEST(Render, PngIsReadBackByImageMagick) {
  using namespace testing_support;
  REQUIRE_TOOL(magick, "convert");
  render::Image image = render::side_by_side({1, 1, {0xFF0000}}, {1, 1, {0x0000FF}}, 1, 0x00FF00);
  TempDir folder;
  render::Bytes png = render::encode_png(image);
  write_file(folder.file("x.png"), Bytes(png.begin(), png.end()));
  ASSERT_EQ(shell(magick + " " + folder.file("x.png") + " " + folder.file("x.txt")), 0);
  Bytes text = read_file(folder.file("x.txt"));
  std::string pixels(text.begin(), text.end());
  EXPECT_NE(pixels.find("0,0: (255,0,0)"), std::string::npos) << pixels;
  EXPECT_NE(pixels.find("1,0: (0,255,0)"), std::string::npos) << pixels;
  EXPECT_NE(pixels.find("2,0: (0,0,255)"), std::string::npos) << pixels;
}

}  // namespace
