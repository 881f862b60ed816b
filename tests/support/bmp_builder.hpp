// Sprites read back into grids, so that tests can state their expectations as
// pictures, and the file helpers; the BMP files themselves come from tools/bmp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bmp_writer.hpp"

namespace testing_support {

using bmp_writer::at_bfOffBits;
using bmp_writer::at_bfSize;
using bmp_writer::at_biBitCount;
using bmp_writer::at_biCompression;
using bmp_writer::at_biHeight;
using bmp_writer::at_biSize;
using bmp_writer::at_biWidth;
using bmp_writer::BmpPicture;
using bmp_writer::Bytes;
using bmp_writer::encode_bmp;
using bmp_writer::grid;
using bmp_writer::PixelRows;
using bmp_writer::put_i32;
using bmp_writer::put_u16;

// Sprite bytes back to pictures: hires as '.'/'#' (24 wide), multicolour as
// codes '0'-'3' (12 wide), 21 rows.
std::vector<std::string> hires_picture(const Bytes& sprite);
std::vector<std::string> multicolour_picture(const Bytes& sprite);

// Files.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
  std::string file(const std::string& name) const { return path + "/" + name; }
};
void write_file(const std::string& path, const Bytes& bytes);
void write_file(const std::string& path, const std::string& bytes);
Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);

}  // namespace testing_support
