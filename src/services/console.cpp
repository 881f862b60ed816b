// Console output through one buffered channel, the ways a run ends, the runtime error report.
#include "services/console.hpp"

#include <csignal>

#include "services/exit_status.hpp"
#include "services/files.hpp"
#include "services/platform/platform.hpp"

namespace {

constexpr std::size_t channel_size = 256;
constexpr int max_caller_lines = 9;

struct Channel {
  platform::Handle stream;
  char buffer[channel_size];
  std::size_t fill;
};

Channel output_channel{platform::standard_output(), {}, 0};
Channel error_channel{platform::standard_error(), {}, 0};

// Hands the waiting bytes to the stream; bytes it does not take are dropped.
bool buffer_write(Channel& channel) {
  bool complete = platform::write_console(channel.stream, channel.buffer, channel.fill);
  channel.fill = 0;
  return complete;
}

void flush(Channel& channel) {
  if (channel.fill > 0 && !buffer_write(channel)) io_error = exit_status::write_failed;
}

void append(Channel& channel, std::string_view bytes) {
  for (char byte : bytes) {
    if (channel.fill == channel_size && !buffer_write(channel))
      io_error = exit_status::write_failed;
    channel.buffer[channel.fill++] = byte;
  }
}

void append_line_end(Channel& channel) {
  append(channel, "\r\n");
  flush(channel);
}

void append_hex16(Channel& channel, std::uint64_t value) {
  char digits[16];
  format_hex16(value, digits);
  append(channel, std::string_view(digits, sizeof digits));
}

[[noreturn]] void exit_steps(int status) {
  flush(output_channel);
  flush(error_channel);
  platform::end_process(status);
}

// Failures while the report is written are ignored: the status still tells.
void write_report(std::uint16_t error_number, const void* location) {
  char number[20];
  std::uint64_t offset = platform::code_offset(location);
  append(error_channel, "Runtime error ");
  append(error_channel, std::string_view(number, format_decimal(error_number, number)));
  append(error_channel, " at $");
  append_hex16(error_channel, offset);
  append_line_end(error_channel);
  append(error_channel, "  $");
  append_hex16(error_channel, offset);
  append_line_end(error_channel);
  std::uint64_t callers[max_caller_lines];
  int count = platform::caller_offsets(location, callers, max_caller_lines);
  for (int i = 0; i < count; ++i) {
    append(error_channel, "  $");
    append_hex16(error_channel, callers[i]);
    append_line_end(error_channel);
  }
  append_line_end(error_channel);
}

}  // namespace

std::size_t format_decimal(std::int64_t value, char* out) {
  // Work on the magnitude as unsigned so that the most negative value has one.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char reversed[20];
  std::size_t count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = reversed[--count];
  return length;
}

void format_hex16(std::uint64_t value, char* out) {
  constexpr char digits[] = "0123456789ABCDEF";
  for (int i = 15; i >= 0; --i) {
    out[i] = digits[value & 15];
    value >>= 4;
  }
}

void write_text(std::string_view text) {
  if (io_error == 0) append(output_channel, text);
}

void write_int(std::int64_t value) {
  char digits[20];
  write_text(std::string_view(digits, format_decimal(value, digits)));
}

void write_char(char character) {
  write_text(std::string_view(&character, 1));
}

void end_line() {
  if (io_error == 0) append_line_end(output_channel);
}

void end_write() {
  if (io_error == 0) flush(output_channel);
}

void halt(int status) {
  exit_steps(status);
}

void fatal_error(std::uint16_t error_number, const void* location) {
  // A fault while the report is written (or a second fault) must not write a
  // second report: the first may hold locks that the second would wait on.
  static volatile std::sig_atomic_t reporting = 0;
  if (reporting != 0) platform::end_process_at_once(error_number);
  reporting = 1;
  write_report(error_number, location);
  exit_steps(error_number);
}

void normal_end() {
  exit_steps(exit_status::completed);
}
