// The driver: the command line and the order of one conversion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "services/platform/platform.hpp"

// The whole run for the process's arguments (argv[0] is the program name).
// Returns after a complete conversion; every other run ends inside it.
void run_program(int argc, platform::ArgumentChar** argv);

// Runs one conversion. File names are used whole; the other texts are cut to
// 255 characters by the caller.
void run_conversion(std::string inname, std::string outname, std::string startaddress,
                    std::string add_zero_byte, std::string colour1, std::string colour2,
                    std::string colour3, std::string colour4);

// How a colour argument reads: a whole number in any notation the program
// takes (decimal, $ x X 0x 0X hex, % binary, & octal, after blanks and one
// +), or why not.
struct ColourReading {
  enum Kind { number, negative, not_a_number, too_large } kind;
  std::uint64_t value;  // for a number, and the magnitude of a negative one
};
ColourReading read_colour(std::string_view text);

// A colour argument as its colour_map entry: the number modulo 256, or 0 when
// the text is not a number.
std::uint8_t colour_number(std::string_view text);
