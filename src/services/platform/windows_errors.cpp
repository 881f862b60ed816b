// Windows system error codes as the program's I/O error numbers, on every build.
#include "services/platform/windows_errors.hpp"

#include "services/exit_status.hpp"

namespace platform {

using namespace exit_status;

std::uint16_t io_error_for_system_code(std::uint32_t code) {
  switch (code) {
    case 32:   // sharing violation
    case 145:  // directory not empty
    case 183:  // file already exists
      return access_denied;
    case 112:  // disk full
    case 109:  // broken pipe
    case 232:  // the pipe is being closed
    case 233:  // no process on the other end of the pipe
      return write_failed;
    case 1:  // invalid function: seeking in a pipe, as Linux's ESPIPE
      return not_seekable;
    case 206:  // file name too long
      return path_not_found;
    default:
      if (code >= 19 && code <= 31) return static_cast<std::uint16_t>(code + device_errors);
      // 0 and 1 mean success and a refused input: never an I/O error's number.
      if ((code & 0xFFFF) <= refused) return general_failure;
      return static_cast<std::uint16_t>(code & 0xFFFF);
  }
}

}  // namespace platform
