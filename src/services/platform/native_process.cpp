// The process on a native POSIX system: fault signals, the command line, the
// program file's path, the end, and code locations as offsets into the ELF
// program file.
#include <elf.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

#include <climits>
#include <cstring>

#include "services/exit_status.hpp"
#include "services/platform/platform.hpp"

// Bounds of the program file's code, from the linker.
extern "C" const char __executable_start[];
extern "C" const char __etext[];
// The program's entry, main, whose frame is the last caller a report names:
// in a static build the C library's start code lies inside the bounds too.
extern "C" const char program_entry[] __asm__("main");

namespace platform {

namespace {

FaultHandler fault_handler = nullptr;

std::uint16_t fault_number(int signal_number) {
  switch (signal_number) {
    case SIGSEGV:
    case SIGBUS:
      return exit_status::memory_fault;
    case SIGFPE:
      return exit_status::arithmetic_fault;
    default:
      return exit_status::invalid_instruction;
  }
}

#ifndef QUORVEL_FAULT_LOCATION
#error "cmake/processors.txt names no fault location for this processor"
#endif

// Where the fault happened: the faulting instruction of the interrupted
// context, in the register the processors list names (QUORVEL_FAULT_LOCATION).
const void* fault_location(const ucontext_t& machine) {
  return reinterpret_cast<const void*>(machine.QUORVEL_FAULT_LOCATION);
}

[[maybe_unused]] void on_fault_signal(int signal_number, siginfo_t*, void* context) {
  fault_handler(fault_number(signal_number),
                fault_location(*static_cast<const ucontext_t*>(context)));
}

struct Walk {
  const void* location;
  bool found;
  std::uint64_t* offsets;
  int most;
  int count;
};

bool inside_program(std::uintptr_t address) {
  return address >= reinterpret_cast<std::uintptr_t>(__executable_start) &&
         address < reinterpret_cast<std::uintptr_t>(__etext);
}

_Unwind_Reason_Code visit_frame(_Unwind_Context* context, void* data) {
  auto& walk = *static_cast<Walk*>(data);
  int before_instruction = 0;
  std::uintptr_t address = _Unwind_GetIPInfo(context, &before_instruction);
  if (!walk.found) {
    // Bit 0 marks Thumb code on ARM in a return address but not in the
    // unwinder's; no two call sites are one byte apart.
    walk.found = (address | 1) == (reinterpret_cast<std::uintptr_t>(walk.location) | 1);
    return _URC_NO_REASON;
  }
  if (address == 0 || !inside_program(address) || walk.count == walk.most) return _URC_END_OF_STACK;
  walk.offsets[walk.count++] = code_offset(reinterpret_cast<const void*>(address));
  bool in_entry = (_Unwind_GetRegionStart(context) | 1) ==
                  (reinterpret_cast<std::uintptr_t>(program_entry) | 1);
  return in_entry ? _URC_END_OF_STACK : _URC_NO_REASON;
}

}  // namespace

void prepare_process(FaultHandler on_fault) {
  // A reader that has gone, or a file grown past its limit, is a failed write.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  fault_handler = on_fault;
#ifndef QUORVEL_KEEP_FAULT_SIGNALS
  // A stack of its own, so that a stack overflow is reported too.
  static char fault_stack[64 * 1024];
  stack_t alternate = {};
  alternate.ss_sp = fault_stack;
  alternate.ss_size = sizeof fault_stack;
  sigaltstack(&alternate, nullptr);
  // No SA_RESETHAND: a fault during the report must reach the handler, which
  // then ends the process at once (see fatal_error).
  struct sigaction action = {};
  action.sa_sigaction = on_fault_signal;
  action.sa_flags = static_cast<int>(SA_SIGINFO | SA_NODEFER | SA_ONSTACK);
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL})
    sigaction(signal_number, &action, nullptr);
#endif
}

std::vector<std::string> program_arguments(int argc, ArgumentChar** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::string program_path(const std::string& argv0) {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length > 0) return std::string(path, static_cast<std::size_t>(length));
  return argv0;
}

// addr2line takes a position-independent program's code locations as offsets
// from its start, and a program linked at a fixed address (ELF type ET_EXEC,
// the static 32-bit ARM build) at their addresses.
std::uint64_t code_offset(const void* location) {
  std::uint16_t elf_type;
  std::memcpy(&elf_type, __executable_start + EI_NIDENT, sizeof elf_type);
  std::uintptr_t start =
      elf_type == ET_EXEC ? 0 : reinterpret_cast<std::uintptr_t>(__executable_start);
  return reinterpret_cast<std::uintptr_t>(location) - start;
}

int caller_offsets(const void* location, std::uint64_t* offsets, int most) {
  Walk walk{location, false, offsets, most, 0};
  _Unwind_Backtrace(visit_frame, &walk);
  return walk.count;
}

#ifdef QUORVEL_COVERAGE
extern "C" void __gcov_dump();
#endif

void end_process(int status) {
#ifdef QUORVEL_COVERAGE
  __gcov_dump();  // _exit runs no exit handlers
#endif
  _exit(status);
}

void end_process_at_once(int status) {
  _exit(status);
}

}  // namespace platform
