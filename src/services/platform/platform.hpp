// Everything the operating system does for the program sits behind these calls.
// Every platform is split the same way, so that each call's twin is easy to find:
//
//   build          files and console                 process: faults, reports, start
//   Linux (POSIX)  posix_files.cpp, native_files.cpp  native_process.cpp
//   WebAssembly    posix_files.cpp, wasm_files.cpp    wasm_process.cpp, wasm_host.js
//                  + node_host.js (quorvel.js)        + node_start.js (quorvel.js)
//                  or page_host.js (the page)
//   Windows        win32_files.cpp                   win32_process.cpp
//
// Pure parts, built in every build that can (so the native tests test them):
// posix_errors.cpp (errno as I/O error numbers; every POSIX build),
// windows_errors.cpp (system codes as I/O error numbers) and wtf8.cpp
// (Windows names as bytes and back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Handle = std::intptr_t;
inline constexpr Handle no_handle = -1;

// The process's standard streams, valid from start to end.
Handle standard_output();
Handle standard_error();

// File calls return 0 or the I/O error number of the failure (already mapped).
// Opening follows the sharing rule: while the program holds a file, others may
// read it but not write it.
std::uint16_t open_existing_file(const std::string& name, Handle& handle);
// Opens or creates the file for writing, leaving what it holds.
std::uint16_t open_for_writing(const std::string& name, Handle& handle);
// Cuts a file open for writing to length 0; a device or pipe keeps what it is.
std::uint16_t empty_file(Handle handle);

// What an open handle reaches, whatever name it was opened by: a file (its
// device and inode, or volume and file index), a device (its device number),
// and for a loop device also the file behind it. Two handles reach the same
// thing when their identities share a key; an identity without keys is unknown.
struct FileIdentity {
  struct Key {
    std::uint64_t space;   // a file's device or volume, or a mark for device numbers
    std::uint64_t number;  // a file's inode or index, or a device number
  };
  Key keys[2] = {};
  int count = 0;
  // A file's length, as file_length gives it (-1 for no file), learnt with
  // its identity: a reader that needs both asks the system once.
  std::int64_t length = -1;
};
FileIdentity file_identity(Handle handle);
inline bool reach_the_same(const FileIdentity& one, const FileIdentity& other) {
  for (int i = 0; i < one.count; ++i)
    for (int k = 0; k < other.count; ++k)
      if (one.keys[i].space == other.keys[k].space && one.keys[i].number == other.keys[k].number)
        return true;
  return false;
}
std::uint16_t read_file(Handle handle, void* buffer, std::size_t count, std::size_t& delivered);
std::uint16_t write_file(Handle handle, const void* buffer, std::size_t count,
                         std::size_t& written);
std::uint16_t seek_file(Handle handle, std::int64_t position);
// The length of the file on `handle`, or -1 for what has none (a pipe, a
// terminal, a device).
std::int64_t file_length(Handle handle);
std::uint16_t close_file_handle(Handle handle);

// Writing a file whole or not at all: a regular file, or a name of no file
// yet, is written as a new file beside it that then takes its place; where
// `whole` is false (a device, a FIFO) the name is written directly.
std::uint16_t written_whole(const std::string& name, bool& whole);
// Creates a new file in the folder of `name`, with a name of its own.
std::uint16_t create_beside(const std::string& name, std::string& created, Handle& handle);
// Puts the file `from` in the place of `to` at once, replacing it.
std::uint16_t replace_file(const std::string& from, const std::string& to);
std::uint16_t remove_file(const std::string& name);

// One write of console bytes; false when the stream refused or shortened it.
bool write_console(Handle stream, const void* bytes, std::size_t count);

using FaultHandler = void (*)(std::uint16_t error_number, const void* location);

// Sets up the process before the first message: broken pipes and oversized
// files become failed writes, processor faults end through on_fault.
void prepare_process(FaultHandler on_fault);

// The command line as the C runtime split it: bytes on POSIX, UTF-16 on Windows
// (wmain), so that a file name reaches the file system exactly as typed.
#ifdef _WIN32
using ArgumentChar = wchar_t;
#else
using ArgumentChar = char;
#endif

// The command line, program name first, each argument held losslessly.
std::vector<std::string> program_arguments(int argc, ArgumentChar** argv);
// An argument as the program reads it (numbers, the start address) and as a
// console line shows it. Windows: the ANSI code page, where a character with no
// exact counterpart becomes "?", never a lookalike. Elsewhere: unchanged.
std::string console_text(std::string_view text);

// The full path of the running program file, for the usage lines.
std::string program_path(const std::string& argv0);

[[noreturn]] void end_process(int status);
// Ends the process from inside a fault handler: nothing that could fault or wait.
[[noreturn]] void end_process_at_once(int status);

// Code locations for the runtime error report, as offsets into the program file.
std::uint64_t code_offset(const void* location);
// The return locations of the callers above the procedure that holds `location`,
// innermost first, stopping at the program's entry; returns how many were found.
int caller_offsets(const void* location, std::uint64_t* offsets, int most);

}  // namespace platform
