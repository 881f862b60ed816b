// How Windows system error codes become the program's I/O error numbers.
// Pure, so it is built and tested in every build.
#pragma once

#include <cstdint>

namespace platform {

std::uint16_t io_error_for_system_code(std::uint32_t code);

}  // namespace platform
