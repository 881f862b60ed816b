// Files on a native POSIX system: waiting on a full pipe, the file behind a loop device.
#include <linux/loop.h>
#include <poll.h>
#include <sys/ioctl.h>

#include "services/platform/posix.hpp"

namespace platform {

bool wait_until_writable(int fd) {
  pollfd writable = {fd, POLLOUT, 0};
  return poll(&writable, 1, -1) >= 0;
}

bool loop_backing_file(int fd, dev_t, FileIdentity::Key& backing) {
  loop_info64 loop = {};
  if (ioctl(fd, LOOP_GET_STATUS64, &loop) != 0) return false;
  backing = {loop.lo_device, loop.lo_inode};
  return true;
}

}  // namespace platform
