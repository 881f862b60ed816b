// Files as WebAssembly: no poll and no ioctl reach the system, so waiting on a
// full pipe and the file behind a loop device are the host's (node_host.js).
#include <emscripten.h>

#include "services/platform/posix.hpp"

namespace platform {

namespace {

// JavaScript, which clang-format would take for C++.
// clang-format off

// Node.js cannot wait on a descriptor: sleep a moment, then try again.
EM_JS(void, host_pause, (int milliseconds), {
  Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, milliseconds);
});

// The device and inode of the file behind a loop device (node_host.js).
EM_JS(int, host_loop_backing, (double device, double* backing), {
  var found = Module['quorvelLoopBacking'] && Module['quorvelLoopBacking'](device);
  if (!found) return 0;
  HEAPF64.set(found, backing >> 3);
  return 1;
});

// clang-format on

}  // namespace

bool wait_until_writable(int) {
  host_pause(2);
  return true;
}

bool loop_backing_file(int, dev_t device, FileIdentity::Key& backing) {
  double found[2];
  if (host_loop_backing(static_cast<double>(device), found) == 0) return false;
  backing = {static_cast<std::uint64_t>(found[0]), static_cast<std::uint64_t>(found[1])};
  return true;
}

}  // namespace platform
