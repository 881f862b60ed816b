// errno as the program's I/O error numbers, the home platform's, on every POSIX build.
#include <cerrno>

#include "services/exit_status.hpp"
#include "services/platform/posix.hpp"

namespace platform {

using namespace exit_status;

std::uint16_t io_error_for_errno(int error, IoOperation operation, bool directory_exists) {
  switch (error) {
    case ENOENT:
      return directory_exists ? file_not_found : path_not_found;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return path_not_found;
    case EMFILE:
    case ENFILE:
      return too_many_open_files;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY:
    case EEXIST:
    case ENOTEMPTY:
    case EWOULDBLOCK:
      return access_denied;
    case EBADF:
      return invalid_handle;
    case ENOMEM:
      return not_enough_memory;
    case EROFS:
      return read_only;
    case ENXIO:
    case ENODEV:
      return no_such_device;
    case ESPIPE:
      return not_seekable;
    case EILSEQ:  // a name the system cannot take, as Windows' "invalid name"
      return invalid_name;
    case EIO:
      return operation == IoOperation::write  ? write_fault
             : operation == IoOperation::read ? read_fault
                                              : general_failure;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EPIPE:  // the reader has gone: the bytes did not arrive
      return write_failed;
    case 0:  // a failure without a cause must never read as success
      return general_failure;
    default:
      return static_cast<std::uint16_t>(error);
  }
}

}  // namespace platform
