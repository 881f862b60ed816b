#include "services/windows_errors.hpp"

namespace platform {

std::uint16_t io_error_for_system_code(std::uint32_t code) {
  switch (code) {
    case 32:   // sharing violation
    case 145:  // directory not empty
    case 183:  // file already exists
      return 5;
    case 112:  // disk full
      return 101;
    case 206:  // file name too long
      return 3;
    default:
      if (code >= 19 && code <= 31) return static_cast<std::uint16_t>(code + 131);  // device level
      return static_cast<std::uint16_t>(code & 0xFFFF);
  }
}

}  // namespace platform
