// How the POSIX platform turns errno into the program's I/O error numbers.
#pragma once

#include <cstdint>

namespace platform {

enum class IoOperation { open, read, write, other };

// `directory_exists` tells, for ENOENT, whether the directory of the name exists
// (file not found, 2) or not (path not found, 3).
std::uint16_t io_error_for_errno(int error, IoOperation operation, bool directory_exists);

}  // namespace platform
