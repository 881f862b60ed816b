// What the POSIX platform files share: errno as the program's I/O error
// numbers (posix_errors.cpp, pure), and the two file calls that a native
// system (native_files.cpp) and WebAssembly (wasm_files.cpp) make differently.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include "services/platform/platform.hpp"

namespace platform {

enum class IoOperation { open, read, write, other };

// `directory_exists` tells, for ENOENT, whether the directory of the name exists
// (file not found, 2) or not (path not found, 3).
std::uint16_t io_error_for_errno(int error, IoOperation operation, bool directory_exists);

// Waits, without spinning, until a descriptor that refused a write with
// EAGAIN may take more; false when waiting failed (errno says why).
bool wait_until_writable(int fd);

// The file behind a loop device open on `fd`; false when it is no loop device.
bool loop_backing_file(int fd, dev_t device, FileIdentity::Key& backing);

}  // namespace platform
