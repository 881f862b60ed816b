// Sprite conversion: the size check, the stored rows found by seeking, hires and multicolour bytes.
#include "sprite/sprite.hpp"

#include <string_view>

#include "bitmap/bitmap.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"

std::uint8_t colour_map[16] = {};

namespace sprite_arithmetic {

namespace {
constexpr std::uint8_t pair_shift[4] = {6, 4, 2, 0};

// The low 16 bits of a value, taken as a signed 16-bit counter.
std::int16_t low_16_bits(std::int64_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}
}  // namespace

std::int16_t four_bit_row_length(std::int32_t width) {
  return low_16_bits(static_cast<std::uint32_t>(width) >> 1);
}

std::int16_t eight_bit_row_length(std::int32_t width) {
  return low_16_bits(width);
}

std::int16_t four_bit_last_step(std::int16_t row_length) {
  return low_16_bits(std::int32_t{row_length} - 1);
}

std::int16_t eight_bit_last_step(std::int16_t row_length) {
  return low_16_bits(static_cast<std::int32_t>(row_length * 0.5) - 1);
}

std::int16_t start_row_index(std::int32_t height) {
  return low_16_bits(static_cast<std::int32_t>(static_cast<std::uint32_t>(height) - 1));
}

std::int64_t row_position(std::int32_t data_offset, std::int16_t row, std::int16_t row_length) {
  return std::int64_t{data_offset} + std::int64_t{row} * row_length;
}

std::int64_t hires_row_position(std::int32_t data_offset, int row_index) {
  return std::int64_t{data_offset} + std::int64_t{20 - row_index} * 4;
}

std::uint8_t place_pixel(std::uint8_t output_byte, std::uint8_t code, unsigned pixel_position) {
  return static_cast<std::uint8_t>(output_byte | (code << pair_shift[pixel_position]));
}

}  // namespace sprite_arithmetic

namespace sprite_rule {

std::uint8_t hires_byte(std::uint8_t held, const std::uint8_t map[16]) {
  return map[0] != 0 ? static_cast<std::uint8_t>(~held) : held;
}

std::uint8_t multicolour_byte(const std::uint8_t held[4], const std::uint8_t map[16]) {
  std::uint8_t byte = 0;
  for (unsigned pixel = 0; pixel < 4; ++pixel)
    byte = sprite_arithmetic::place_pixel(byte, map[held[pixel] & 15], pixel);
  return byte;
}

void sprite_bytes(const Pixels& pixels, bool hires, const std::uint8_t map[16],
                  std::uint8_t out[bytes]) {
  for (int y = 0; y < height; ++y) {
    for (int column = 0; column < 3; ++column) {
      const std::uint8_t* eight = &pixels[y][column * 8];
      std::uint8_t held[4];
      std::uint8_t row_byte = 0;
      for (int x = 0; x < 8; ++x)
        row_byte = static_cast<std::uint8_t>(row_byte << 1 | (eight[x] & 1));
      for (int pixel = 0; pixel < 4; ++pixel) held[pixel] = eight[2 * pixel + 1];
      out[y * 3 + column] = hires ? hires_byte(row_byte, map) : multicolour_byte(held, map);
    }
  }
}

}  // namespace sprite_rule

namespace {

using namespace sprite_arithmetic;

constexpr int sprite_width = 24;
constexpr int sprite_height = 21;
constexpr int hires_rows = 21;
constexpr int hires_bytes_per_row = 3;

// The working state of one conversion, shared by its inner steps.
struct Conversion {
  BinaryFile& input;
  BinaryFile& output;
  std::int32_t& bytes_read;
  std::uint8_t held_byte = 0;        // keeps its value when a read delivers nothing
  std::uint8_t held_pixels[4] = {};  // of the multicolour byte being built
  std::uint16_t pixel_position = 0;
};

std::int32_t header(HeaderFieldIndex field) {
  return header_fields[field].value;
}

void read_input_byte(Conversion& run) {
  std::uint16_t delivered = 0;
  file_read(run.input, &run.held_byte, 1, delivered);
  check_io();
  count_bytes_read(run.bytes_read, delivered);
}

void write_output_byte(Conversion& run, std::uint8_t byte) {
  file_write(run.output, &byte, 1);
  check_io();
}

// The complement goes to the written byte only, so that every missing byte of
// a short file comes out the same.
void put_hires_byte(Conversion& run) {
  write_output_byte(run, sprite_rule::hires_byte(run.held_byte, colour_map));
}

void add_multicolour_pixel(Conversion& run) {
  run.held_pixels[run.pixel_position] = run.held_byte;
  if (++run.pixel_position == 4) {
    write_output_byte(run, sprite_rule::multicolour_byte(run.held_pixels, colour_map));
    run.pixel_position = 0;
  }
}

// Pixels left over from the row before are dropped.
void start_row(Conversion& run, std::int64_t position) {
  run.pixel_position = 0;
  file_seek(run.input, position);
  check_io();
}

void write_data_size_line(std::int64_t data_size) {
  write_int(data_size);
  check_io();
  write_text(" bytes bitmap data.");
  check_io();
  end_line();
  check_io();
}

void write_filesize_error(std::int64_t data_size, std::string_view mode, std::string_view closing) {
  write_text("Filesize error: ");
  check_io();
  write_int(data_size);
  check_io();
  write_text(mode);
  check_io();
  write_int(sprite_width);
  check_io();
  write_char('x');
  check_io();
  write_int(sprite_height);
  check_io();
  write_text(closing);
  check_io();
  end_line();
  check_io();
}

// The size check only reports; the conversion goes on either way.
void check_data_size(std::int64_t data_size) {
  std::int32_t bits = header(biBitCount);
  if (bits == 1 && data_size != 84)
    write_filesize_error(data_size, " bytes are incorrect! A black/white ",
                         " image should have exactly 84 bytes!");
  if (bits == 4 && data_size != 252)
    write_filesize_error(data_size, " bytes are incorrect! A 4bit (4 colour) ",
                         " image should have exactly 252 bytes!");
}

void write_position_line() {
  write_text("Starting at position: ");
  check_io();
  write_int(header(bfOffBits));
  check_io();
  write_text(" byte");
  check_io();
  end_line();
  check_io();
}

// 21 stored rows of 4 bytes, last stored (the top of the picture) first; the
// fourth byte of each row is passed over by the next seek.
void convert_hires(Conversion& run) {
  write_line("Image is in 1 bit black/white mode: Converting it to a hires sprite");
  if (colour_map[0] != 0) write_line("Information: First colour is not 0: Inverting colours");
  for (int row = 0; row < hires_rows; ++row) {
    file_seek(run.input, hires_row_position(header(bfOffBits), row));
    check_io();
    for (int byte = 0; byte < hires_bytes_per_row; ++byte) {
      read_input_byte(run);
      put_hires_byte(run);
    }
  }
}

// Rows from the start row down to 0; each pixel step reads `reads_per_step`
// bytes, and the last one read (the right-hand pixel of a pair) decides.
void convert_multicolour(Conversion& run, std::int16_t row_length, std::int16_t last_step,
                         int reads_per_step) {
  std::int16_t first_row = start_row_index(header(biHeight));
  for (std::int32_t row = first_row; row >= 0; --row) {
    start_row(run, row_position(header(bfOffBits), static_cast<std::int16_t>(row), row_length));
    for (std::int32_t step = 0; step <= last_step; ++step) {
      for (int read = 0; read < reads_per_step; ++read) read_input_byte(run);
      add_multicolour_pixel(run);
    }
  }
}

void convert_four_bit(Conversion& run) {
  write_line("Image is in 4 bit indexed colours mode: Converting it to a multicolor sprite");
  std::int16_t row_length = four_bit_row_length(header(biWidth));
  convert_multicolour(run, row_length, four_bit_last_step(row_length), 1);
}

void convert_eight_bit(Conversion& run) {
  write_line("Image is in 8 bit indexed colours mode: Converting it to a multicolor sprite");
  std::int16_t row_length = eight_bit_row_length(header(biWidth));
  convert_multicolour(run, row_length, eight_bit_last_step(row_length), 2);
}

}  // namespace

void loadwrite_bitmap(BinaryFile& input, BinaryFile& output, std::int32_t& bytes_read) {
  std::int64_t data_size = std::int64_t{header(bfSize)} - header(bfOffBits);
  write_data_size_line(data_size);
  check_data_size(data_size);
  write_position_line();
  Conversion run{input, output, bytes_read};
  switch (header(biBitCount)) {
    case 1:
      convert_hires(run);
      break;
    case 4:
      convert_four_bit(run);
      break;
    case 8:
      convert_eight_bit(run);
      break;
    default:
      write_line("Aborting - Image is not in 4 bit indexed colours mode.");
      halt(exit_status::refused);
  }
  end_line();
  check_io();
  write_line("loadwrite_bitmap: done.");
}
