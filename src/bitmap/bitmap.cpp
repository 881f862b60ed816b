// Bitmap input: the header table walked field by field, the depth check and the refusals.
#include "bitmap/bitmap.hpp"

#include <array>
#include <string_view>

#include "services/console.hpp"
#include "services/exit_status.hpp"
#include "services/platform/platform.hpp"
#include "services/text.hpp"

HeaderField header_fields[header_field_count] = {
    {2, 0},  // bfType: the signature "BM", compared, never decoded
    {4, 0},  // bfSize: size of the whole file
    {2, 0},  // bfReserved1
    {2, 0},  // bfReserved2
    {4, 0},  // bfOffBits: where the pixel data starts
    {4, 0},  // biSize: size of the info header
    {4, 0},  // biWidth
    {4, 0},  // biHeight: negative for a top-down image
    {2, 0},  // biPlanes
    {2, 0},  // biBitCount: bits per pixel
    {4, 0},  // biCompression
    {4, 0},  // biSizeImage
    {4, 0},  // biXPelsPerMeter
    {4, 0},  // biYPelsPerMeter
    {4, 0},  // biClrUsed
    {4, 0},  // biClrImportant
};

namespace {

struct ColourMode {
  std::uint8_t bits;
  std::string_view name;
  std::int16_t colours;
};

// Only `bits` decides anything; the 24-bit row matches and is refused all the same.
constexpr std::array<ColourMode, 4> colour_modes = {{
    {1, "black/white", 2},
    {4, "16 colors", 16},
    {8, "256 colors", 256},
    {24, "16.7 million colors", 0},
}};

std::int16_t image_bits = 0;

void read_signature(BinaryFile& file, HeaderField& field, std::int32_t& bytes_read) {
  std::uint8_t buffer[4] = {0, 0, 0, 0};
  std::uint16_t delivered = 0;
  file_read(file, buffer, field.size, delivered);
  check_io();
  if (buffer[0] != 'B' || buffer[1] != 'M') {
    write_line("ERROR: Cannot find BMP header. Aborting...");
    close_file(file);
    halt(exit_status::refused);
  }
  count_bytes_read(bytes_read, delivered);
}

void read_header_field(BinaryFile& file, HeaderField& field, std::int32_t& bytes_read) {
  std::uint8_t buffer[4] = {0, 0, 0, 0};
  std::uint16_t delivered = 0;
  file_read(file, buffer, field.size, delivered);
  check_io();
  field.value = le_bytes_to_int(buffer);
  count_bytes_read(bytes_read, delivered);
}

void write_count_line(std::int32_t bytes_read) {
  write_char('[');
  check_io();
  write_int(bytes_read);
  check_io();
  write_text(" bytes read] done.");
  check_io();
  end_line();
  check_io();
}

void look_up_colour_mode() {
  image_bits = 0;
  for (const ColourMode& mode : colour_modes)
    if (header_fields[biBitCount].value == mode.bits) image_bits = mode.bits;
}

// Writes the mode line, or refuses a depth that cannot be converted.
void dispatch_colour_mode() {
  switch (image_bits) {
    case 1:
      write_line("Image is in 1 bit black/white mode.");
      break;
    case 4:
      write_line("Image is in 4 bit indexed colours mode.");
      break;
    case 8:
      write_line("Image is in 8 bit indexed colours mode.");
      break;
    default:
      write_line(
          "BMP mode error: Image is not in 4bit/8bit indexed colours or 1 bit black/white mode.");
      halt(exit_status::refused);
  }
}

}  // namespace

std::int32_t le_bytes_to_int(const std::uint8_t bytes[4]) {
  std::uint32_t value = bytes[0] | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
                        std::uint32_t{bytes[3]} << 24;
  return static_cast<std::int32_t>(value);
}

void open_infile(BinaryFile& file, const std::string& name) {
  write_line(join_cut({"Opening file \"", platform::console_text(name), "\" for reading..."}));
  file_assign(file, name);
  file_open(file, 1);
  check_io();
}

void close_file(BinaryFile& file) {
  write_line("Closing file...");
  file_close(file);
  check_io();
}

void load_header(BinaryFile& file, std::int32_t& bytes_read) {
  write_text("load_header... ");
  check_io();
  end_write();
  check_io();
  read_signature(file, header_fields[bfType], bytes_read);
  for (int field = bfSize; field < header_field_count; ++field)
    read_header_field(file, header_fields[field], bytes_read);
  write_count_line(bytes_read);
  look_up_colour_mode();
  dispatch_colour_mode();
  if (header_fields[biCompression].value != 0) {
    write_line("Image is compressed - aborting...");
    halt(exit_status::refused);
  }
}
