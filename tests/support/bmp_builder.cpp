// Reads sprites back into grids, and the small file helpers the tests share.
#include "support/bmp_builder.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {

std::vector<std::string> hires_picture(const Bytes& sprite) {
  std::vector<std::string> rows;
  for (std::size_t row = 0; row * 3 + 2 < sprite.size() && row < 21; ++row) {
    std::string text;
    for (std::size_t byte = 0; byte < 3; ++byte)
      for (int bit = 7; bit >= 0; --bit) text += (sprite[row * 3 + byte] >> bit & 1) ? '#' : '.';
    rows.push_back(text);
  }
  return rows;
}

std::vector<std::string> multicolour_picture(const Bytes& sprite) {
  std::vector<std::string> rows;
  for (std::size_t row = 0; row * 3 + 2 < sprite.size() && row < 21; ++row) {
    std::string text;
    for (std::size_t byte = 0; byte < 3; ++byte)
      for (int shift = 6; shift >= 0; shift -= 2)
        text += static_cast<char>('0' + (sprite[row * 3 + byte] >> shift & 3));
    rows.push_back(text);
  }
  return rows;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw std::runtime_error("cannot write " + path);
}

void write_file(const std::string& path, const std::string& bytes) {
  write_file(path, Bytes(bytes.begin(), bytes.end()));
}

Bytes read_file(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

}  // namespace testing_support
