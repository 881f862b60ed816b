// Console output and the three ways a run ends.
//
// Every message goes to standard output. A message statement is a sequence of
// write operations closed by end_line or end_write; each statement leaves the
// process in one write (more only past 256 bytes). Line ends are CR LF.
// Callers follow every operation with check_io (files.hpp).
#pragma once

#include <cstdint>
#include <string_view>

void write_text(std::string_view text);
void write_int(std::int64_t value);
void write_char(char character);
void end_line();   // CR LF, then flush: the statement is complete
void end_write();  // flush without a line end; the line stays open

// Ends the process with `status`; writes nothing.
[[noreturn]] void halt(int status);
// Writes the runtime error report to standard error, then ends with `error_number`.
[[noreturn]] void fatal_error(std::uint16_t error_number, const void* location);
// The normal end of a run: status 0.
[[noreturn]] void normal_end();

// Pure formatting helpers, exposed for tests. Both return the number of characters.
std::size_t format_decimal(std::int64_t value, char* out);  // needs 20 characters
void format_hex16(std::uint64_t value, char* out);          // exactly 16 characters
