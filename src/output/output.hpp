// Output file: creating it with its optional load address, and the optional
// trailing zero byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "services/files.hpp"

// True unless the start address is exactly "none"; set by the driver.
extern bool with_address;

// Creates (or empties) the output and writes the load address, low byte first.
void open_outfile(BinaryFile& file, const std::string& name, const std::string& startaddress);
// Pads the sprite with one zero byte, announced by its line.
void write_zero_byte(BinaryFile& file);

// The first two characters of `text` as hexadecimal digits, high digit first.
// Characters that are not hexadecimal digits, and missing ones, count as 0.
std::uint8_t hex_pair_value(std::string_view text);
