// The process as WebAssembly, under Node.js or in the page. There are no
// signals and no program file of its own: a trap (WebAssembly's processor
// fault) reaches the program through the host (wasm_host.js), the arguments
// are the bytes the user gave where the host has them (node_host.js), the
// program's path is that of quorvel.js (the page names the program itself),
// and code locations are byte offsets into the WebAssembly module, read from
// the host's stack trace.
#include <emscripten.h>
#include <unistd.h>

#include "services/platform/platform.hpp"

namespace platform {

namespace {

FaultHandler fault_handler = nullptr;

}  // namespace

// JavaScript, which clang-format would take for C++.
// clang-format off

// The offsets of the callers above the frame at `location` (wasm_host.js).
EM_JS(int, host_caller_offsets, (unsigned location, unsigned* offsets, int most), {
  var found = Module['quorvelCallerOffsets'](location, most);
  HEAPU32.set(found, offsets >> 2);
  return found.length;
});

// The real path of quorvel.js (a link to it, as npm makes, is resolved).
EM_JS(int, host_program_path, (char* buffer, int size), {
  if (typeof __filename != 'string') return 0;
  return stringToUTF8(require('fs').realpathSync(__filename), buffer, size);
});

// Argument `index` (after the program's name) as the bytes the user gave
// (node_host.js): its length, or -1 where the host has only Node's text.
EM_JS(int, host_raw_argument, (int index, char* buffer, int size), {
  var raw = Module['quorvelRawArguments'];
  if (!raw || index >= raw.length) return -1;
  HEAPU8.set(raw[index].subarray(0, size), buffer);
  return raw[index].length;
});

// clang-format on

std::vector<std::string> program_arguments(int argc, ArgumentChar** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  for (int i = 1; i < argc; ++i) {
    int length = host_raw_argument(i - 1, nullptr, 0);
    if (length < 0) continue;
    std::string& argument = arguments[static_cast<std::size_t>(i)];
    argument.assign(static_cast<std::size_t>(length), '\0');
    host_raw_argument(i - 1, argument.data(), length);
  }
  return arguments;
}

void prepare_process(FaultHandler on_fault) {
  fault_handler = on_fault;
}

std::string program_path(const std::string& argv0) {
  char path[4096];
  int length = host_program_path(path, sizeof path);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : argv0;
}

std::uint64_t code_offset(const void* location) {
  return reinterpret_cast<std::uintptr_t>(location);
}

int caller_offsets(const void* location, std::uint64_t* offsets, int most) {
  unsigned found[16];
  int count = host_caller_offsets(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(location)),
                                  found, most < 16 ? most : 16);
  for (int i = 0; i < count; ++i) offsets[i] = found[i];
  return count;
}

void end_process(int status) {
  _exit(status);
}

void end_process_at_once(int status) {
  _exit(status);
}

}  // namespace platform

// Called by the host for a trap, with its fault number and location.
extern "C" EMSCRIPTEN_KEEPALIVE void quorvel_fault(int error_number, unsigned location) {
  platform::fault_handler(static_cast<std::uint16_t>(error_number),
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(location)));
}
