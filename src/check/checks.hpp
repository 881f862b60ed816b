// quorvel-check's checks: pure functions over a bitmap's bytes and the
// converter's argument texts that find every way the sprite would not be the
// picture, each as a message with what to do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct Finding {
  bool refused;         // the converter refuses the input (an error); else a warning
  std::string message;  // what, where (x, y from the top left), what to do
};

// The converter's arguments after the two file names.
struct Arguments {
  std::string startaddress;
  std::string add_zero_byte;
  std::string colours[4];
};

// The findings about the picture alone, then about the arguments with it.
std::vector<Finding> check_picture(const std::vector<std::uint8_t>& file);
std::vector<Finding> check_arguments(const std::vector<std::uint8_t>& file,
                                     const Arguments& arguments);

}  // namespace check
