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
