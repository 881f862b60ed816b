// The C64's values as the programs read them from text: a C64 colour by number
// or name, a load address as the converter reads its start address (over the
// converter's own readers, so the companions never read one another way), a
// colour argument's code, and an address or a colour written back in hex.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/driver.hpp"
#include "output/output.hpp"

namespace c64 {

// A C64 colour: a number 0 to 15 or a name ("light-blue", "grey" or "gray"),
// in any letter case; nullopt when it is neither.
std::optional<int> colour_number_of(std::string_view text);

// The load address the converter writes for a start address; nullopt for
// "none". Any text gives an address, as the converter reads it.
std::optional<int> load_address(std::string_view text);

// "$2000": an address as messages write it.
std::string hex_address(int value);

// "#6C5EB5": a colour, 0xRRGGBB, as messages and the page write it.
std::string hex_colour(std::uint32_t rgb);

}  // namespace c64
