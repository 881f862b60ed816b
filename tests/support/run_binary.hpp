// Runs the real program as a child process and collects everything it gives back.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

enum class Stream {
  capture,                // a pipe that the test reads to the end
  closed,                 // the descriptor is closed when the program starts
  broken_pipe,            // a pipe whose reader has already gone
  device_full,            // /dev/full: every write fails for lack of space
  slow_nonblocking_pipe,  // a non-blocking pipe of 4 KiB, read slowly after half a second
};

struct RunOptions {
  std::string working_directory;  // empty: the test's own
  Stream output = Stream::capture;
  Stream error = Stream::capture;
  bool close_input = false;
  long file_size_limit = -1;  // bytes, for RLIMIT_FSIZE; -1: none
  int user_id = -1;           // run as this user (needs root); -1: as we are
  std::string program;        // empty: the program under test
  int signal_number = 0;      // sent once standard output holds signal_after_output
  std::string signal_after_output;
  std::string fault_at;  // a debugger raises SIGSEGV when the program enters this function
  // Windows: the raw command line after the program's name, as the C runtime
  // splits it; empty: the arguments, each in quotes.
  std::string command_line;
  std::size_t output_limit = 0;  // when not 0, standard output's reader goes after so many bytes
};

struct RunResult {
  std::string output;  // standard output, byte for byte
  std::string error;   // standard error, byte for byte
  int status = -1;     // exit status, or -1 when a signal ended the program
  int signal = 0;      // the signal that ended it, or 0
};

RunResult run_program(const std::vector<std::string>& arguments, const RunOptions& options = {});

// The program under test: the native build, or the one QUORVEL_PROGRAM names
// (quorvel.exe, run under Wine; quorvel.js, run by Node.js; a build for
// another processor, run under qemu-user; a build with another compiler).
std::string program_path();
// quorvel-check and quorvel-sheet of the same build, beside the program.
std::string checker_path();
std::string sheet_path();
bool testing_windows_build();
bool testing_node_build();  // quorvel.js, WebAssembly run by Node.js
// The command that runs the program under test: empty when it runs as it is.
std::vector<std::string> runner_prefix();
// The prefix of the binutils that read the program ("aarch64-linux-gnu-"), or "".
std::string tool_prefix();

// What differs between the platforms, stated once here.
// The program's own path as the usage lines show it.
std::string shown_program_path(const std::string& path);

// A file name as the console lines show it. Windows shows the ANSI code page
// (1252 in the tests' locale), with "?" for a character it lacks.
std::string shown_name(const std::string& name);

// Conditions a test can set up only on some platforms.
enum class Capability {
  closed_descriptors,  // start the program with a standard descriptor closed
  advisory_locks,      // a lock taken by the test is seen by the program
  other_user,          // run the program as another user
  file_size_limit,     // RLIMIT_FSIZE makes a write fail
  fault_signals,       // a fault signal from outside reaches the program
  elf_debug_info,      // addr2line resolves the report's offsets
  named_pipes,         // a FIFO of the test's can be the program's output
  debugger,            // gdb drives the program natively
};
bool platform_can(Capability capability);

// The console lines joined with CR LF endings, as the program writes them.
std::string lines(const std::vector<std::string>& texts);

}  // namespace testing_support
