// Every exit status the program can end with, named once. The README's and
// the manual page's tables, the page's meanings and the WebAssembly host's
// fault numbers are checked against this list by a test.
#pragma once

#include <cstdint>

namespace exit_status {

// A run ends with 0, 1, or the number of the I/O error or fault that ended it.
inline constexpr std::uint16_t completed = 0;
inline constexpr std::uint16_t refused = 1;  // argument count, signature, depth, compression

// I/O errors: the numbers of the home platform's runtime, shared by every build.
inline constexpr std::uint16_t file_not_found = 2;
inline constexpr std::uint16_t path_not_found = 3;  // also a name too long, a loop of links
inline constexpr std::uint16_t too_many_open_files = 4;
inline constexpr std::uint16_t access_denied = 5;   // also the output that is the input
inline constexpr std::uint16_t invalid_handle = 6;  // reading standard output: an empty name
inline constexpr std::uint16_t not_enough_memory = 8;
inline constexpr std::uint16_t write_failed = 101;  // disk full, size limit, reader gone
inline constexpr std::uint16_t file_not_open = 103;
inline constexpr std::uint16_t invalid_name = 123;  // a name the system cannot take
inline constexpr std::uint16_t negative_seek = 131;
inline constexpr std::uint16_t device_errors = 131;  // 150 to 162: a device's own error + 131
inline constexpr std::uint16_t read_only = 150;
inline constexpr std::uint16_t no_such_device = 152;
inline constexpr std::uint16_t not_seekable = 156;
inline constexpr std::uint16_t write_fault = 160;
inline constexpr std::uint16_t read_fault = 161;
inline constexpr std::uint16_t general_failure = 162;  // also any cause that would read as 0 or 1

// Processor faults.
inline constexpr std::uint16_t arithmetic_fault = 200;
inline constexpr std::uint16_t memory_fault = 216;  // also a stack overflow
inline constexpr std::uint16_t invalid_instruction = 218;

// The companions (quorvel-check, quorvel-sheet) end with one of three.
namespace companion {
inline constexpr std::uint16_t done = 0;    // nothing found; everything written
inline constexpr std::uint16_t found = 1;   // findings (quorvel-sheet: nothing written)
inline constexpr std::uint16_t cannot = 2;  // cannot read, bad arguments, a failed write
}  // namespace companion

struct Named {
  std::uint16_t number;
  const char* name;
};

// Every status above, for the tests that hold the documents to it.
inline constexpr Named all[] = {
    {completed, "completed"},
    {refused, "refused"},
    {file_not_found, "file_not_found"},
    {path_not_found, "path_not_found"},
    {too_many_open_files, "too_many_open_files"},
    {access_denied, "access_denied"},
    {invalid_handle, "invalid_handle"},
    {not_enough_memory, "not_enough_memory"},
    {write_failed, "write_failed"},
    {file_not_open, "file_not_open"},
    {invalid_name, "invalid_name"},
    {negative_seek, "negative_seek"},
    {read_only, "read_only"},
    {no_such_device, "no_such_device"},
    {not_seekable, "not_seekable"},
    {write_fault, "write_fault"},
    {read_fault, "read_fault"},
    {general_failure, "general_failure"},
    {arithmetic_fault, "arithmetic_fault"},
    {memory_fault, "memory_fault"},
    {invalid_instruction, "invalid_instruction"},
};

}  // namespace exit_status
