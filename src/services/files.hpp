// Byte-level file objects and the I/O check.
//
// No operation returns an error to its caller: a failure leaves its number in
// io_error, and the check_io that follows every operation ends the run with
// the runtime error report and that number as exit status.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "services/platform/platform.hpp"

struct BinaryFile {
  std::string name;  // as the user gave it, whole
  platform::Handle handle = platform::no_handle;
  bool open = false;
  std::uint32_t record_size = 1;
};

// The pending I/O error number; 0 when none is pending.
extern std::uint16_t io_error;

// Binds a name to the file object and makes it closed; cannot fail.
void file_assign(BinaryFile& file, const std::string& name);
// Opens the existing file for reading. An empty name stands for standard output.
void file_open(BinaryFile& file, std::uint32_t record_size);
// Creates the file, or empties an existing one, for writing. An empty name
// stands for standard output.
void file_create(BinaryFile& file, std::uint32_t record_size);
void file_read(BinaryFile& file, void* buffer, std::uint16_t count, std::uint16_t& delivered);
void file_write(BinaryFile& file, const void* buffer, std::int32_t count);
void file_seek(BinaryFile& file, std::int64_t position);
void file_close(BinaryFile& file);

// One message statement of one line: write_text and end_line, each checked.
void write_line(std::string_view text);

// Adds a read's delivered bytes to a run's byte counter (signed 32-bit, wrapping).
inline void count_bytes_read(std::int32_t& bytes_read, std::uint16_t delivered) {
  bytes_read = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes_read) + delivered);
}

// Ends the run when an error is pending. Not inlined: the report names the
// place in the calling procedure just after this call.
[[gnu::noinline]] void check_io();
[[noreturn]] void fatal_io_error(std::uint16_t error_number, const void* location);
