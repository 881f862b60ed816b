// Byte-level file objects over the platform layer, and the I/O check after each operation.
#include "services/files.hpp"

#include "services/console.hpp"
#include "services/exit_status.hpp"

std::uint16_t io_error = 0;

namespace {

// What the run's input reaches. An output that reaches it too, through any
// name, link or device, is refused before a byte is written: the bitmap is
// never overwritten.
platform::FileIdentity held_input;

bool usable(const BinaryFile& file) {
  if (io_error != 0) return false;
  if (!file.open) io_error = exit_status::file_not_open;
  return file.open;
}

using OpenCall = std::uint16_t (*)(const std::string&, platform::Handle&);

void open_with(BinaryFile& file, std::uint32_t record_size, OpenCall open_call) {
  if (io_error != 0) return;
  if (file.open) file_close(file);
  if (io_error != 0) return;
  file.handle = platform::no_handle;
  if (file.name.empty()) {
    file.handle = platform::standard_output();
  } else {
    io_error = open_call(file.name, file.handle);
    if (io_error != 0) {
      file.handle = platform::no_handle;
      return;
    }
  }
  file.open = true;
  file.record_size = record_size;
}

}  // namespace

void file_assign(BinaryFile& file, const std::string& name) {
  file.name = name;
  file.handle = platform::no_handle;
  file.open = false;
}

void file_open(BinaryFile& file, std::uint32_t record_size) {
  open_with(file, record_size, platform::open_existing_file);
  if (file.open && !file.name.empty()) held_input = platform::file_identity(file.handle);
}

// The output is emptied only once it is known not to be the input.
void file_create(BinaryFile& file, std::uint32_t record_size) {
  open_with(file, record_size, platform::open_for_writing);
  if (!file.open || file.name.empty()) return;
  if (platform::reach_the_same(platform::file_identity(file.handle), held_input)) {
    platform::close_file_handle(file.handle);
    file.handle = platform::no_handle;
    file.open = false;
    io_error = exit_status::access_denied;
    return;
  }
  io_error = platform::empty_file(file.handle);
}

void file_read(BinaryFile& file, void* buffer, std::uint16_t count, std::uint16_t& delivered) {
  delivered = 0;
  if (!usable(file)) return;
  std::size_t bytes = 0;
  io_error = platform::read_file(file.handle, buffer, std::size_t{count} * file.record_size, bytes);
  delivered = static_cast<std::uint16_t>(bytes / file.record_size);
}

void file_write(BinaryFile& file, const void* buffer, std::int32_t count) {
  if (!usable(file) || count <= 0) return;
  std::size_t wanted = static_cast<std::size_t>(count) * file.record_size;
  std::size_t written = 0;
  io_error = platform::write_file(file.handle, buffer, wanted, written);
  if (io_error == 0 && written < wanted) io_error = exit_status::write_failed;
}

void file_seek(BinaryFile& file, std::int64_t position) {
  if (!usable(file)) return;
  if (position < 0) {
    io_error = exit_status::negative_seek;
    return;
  }
  io_error = platform::seek_file(file.handle, position * file.record_size);
}

void file_close(BinaryFile& file) {
  if (!usable(file)) return;
  if (file.handle != platform::standard_output())
    io_error = platform::close_file_handle(file.handle);
  file.handle = platform::no_handle;
  file.open = false;
}

void write_line(std::string_view text) {
  write_text(text);
  check_io();
  end_line();
  check_io();
}

void check_io() {
  if (io_error == 0) return;
  std::uint16_t error_number = io_error;
  io_error = 0;
  fatal_io_error(error_number, __builtin_return_address(0));
}

void fatal_io_error(std::uint16_t error_number, const void* location) {
  fatal_error(error_number, location);
}
