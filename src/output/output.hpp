// Output file: creating it with its optional load address, and the optional
// trailing zero byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "services/files.hpp"

// True unless the start address is "none" in any letter case; set by the driver.
extern bool with_address;

// Whether a start address text asks for no address: "none" in any letter case.
bool is_no_address(std::string_view startaddress);

// The four hex digits of the load address that a start address text gives, as
// a C64 programmer types it: a leading "$", "0x" or "0X" is skipped; of the
// rest, four or more characters give their first four, fewer are the low
// digits (801 is 0801).
std::string address_digits(std::string_view startaddress);

// Creates (or empties) the output and writes the load address, low byte first.
void open_outfile(BinaryFile& file, const std::string& name, const std::string& startaddress);
// Pads the sprite with one zero byte, announced by its line.
void write_zero_byte(BinaryFile& file);

// The first two characters of `text` as hexadecimal digits, high digit first.
// Characters that are not hexadecimal digits, and missing ones, count as 0.
std::uint8_t hex_pair_value(std::string_view text);
