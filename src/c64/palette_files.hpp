// Palette files as editors, emulators and pixel-art sites save them, each
// holding the C64's sixteen colours in colour-number order: VICE's .vpl,
// GIMP's .gpl, Photoshop's .act (768 bytes, or 772 with a count) and a plain
// list of hex colours (.hex).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "c64/palettes.hpp"
#include "companion/companion.hpp"

namespace c64 {

// The palette in a file of the kind its name's extension says; `palette`
// takes `name` as its name. A problem names the file and, in a text file,
// the line.
companion::MaybeProblem read_palette_file(std::string_view name,
                                          const std::vector<std::uint8_t>& bytes, Palette& palette);

}  // namespace c64
