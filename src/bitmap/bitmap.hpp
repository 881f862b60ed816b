// Bitmap input: opening the input file, reading and checking the BMP headers,
// and closing a file with its progress line.
#pragma once

#include <cstdint>
#include <string>

#include "services/files.hpp"

struct HeaderField {
  std::uint8_t size;   // bytes in the file: 2 or 4
  std::int32_t value;  // decoded little-endian; 0 until read
};

// The 14-byte file header and the 40-byte info header, in file order.
enum HeaderFieldIndex {
  bfType,
  bfSize,
  bfReserved1,
  bfReserved2,
  bfOffBits,
  biSize,
  biWidth,
  biHeight,
  biPlanes,
  biBitCount,
  biCompression,
  biSizeImage,
  biXPelsPerMeter,
  biYPelsPerMeter,
  biClrUsed,
  biClrImportant,
  header_field_count
};

extern HeaderField header_fields[header_field_count];

void open_infile(BinaryFile& file, const std::string& name);
// Reads and checks the headers; returns only when the image can be converted.
void load_header(BinaryFile& file, std::int32_t& bytes_read);
void close_file(BinaryFile& file);

// The four bytes b0..b3 in file order as a signed 32-bit little-endian value.
std::int32_t le_bytes_to_int(const std::uint8_t bytes[4]);
