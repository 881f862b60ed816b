// Windows system error codes as the program's I/O error numbers.
#include "services/windows_errors.hpp"

namespace platform {

std::uint16_t io_error_for_system_code(std::uint32_t code) {
  switch (code) {
    case 32:   // sharing violation
    case 145:  // directory not empty
    case 183:  // file already exists
      return 5;
    case 112:  // disk full
    case 109:  // broken pipe
    case 232:  // the pipe is being closed
    case 233:  // no process on the other end of the pipe
      return 101;
    case 1:  // invalid function: seeking in a pipe, as Linux's ESPIPE
      return 156;
    case 206:  // file name too long
      return 3;
    default:
      if (code >= 19 && code <= 31) return static_cast<std::uint16_t>(code + 131);  // device level
      // 0 and 1 mean success and a refused input: never an I/O error's number.
      if ((code & 0xFFFF) <= 1) return 162;  // general failure
      return static_cast<std::uint16_t>(code & 0xFFFF);
  }
}

}  // namespace platform
