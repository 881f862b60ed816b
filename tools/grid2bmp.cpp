// Makes an uncompressed indexed BMP from a text grid: one line per pixel row,
// top row first, one character per pixel ('.' is index 0, '#' index 1,
// '0'-'9' and 'a'-'f' the indices themselves). A line "palette: RRGGBB ..."
// gives the first palette colours; the rest are a grey ramp.
//
//   grid2bmp BITS GRID.txt OUT.bmp     (BITS: 1, 4 or 8)
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bmp/bmp_writer.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: grid2bmp BITS GRID.txt OUT.bmp\n";
    return 2;
  }
  int bits = std::stoi(argv[1]);
  std::ifstream input(argv[2]);
  std::vector<std::string> rows;
  std::vector<std::uint32_t> colours;
  for (std::string row; std::getline(input, row);) {
    if (row.starts_with("palette:")) {
      std::istringstream entries(row.substr(8));
      for (std::string entry; entries >> entry;)
        colours.push_back(static_cast<std::uint32_t>(std::stoul(entry, nullptr, 16)));
    } else if (!row.empty()) {
      rows.push_back(row);
    }
  }
  if (rows.empty() || (bits != 1 && bits != 4 && bits != 8)) {
    std::cerr << "grid2bmp: need a grid and a depth of 1, 4 or 8\n";
    return 2;
  }
  try {
    bmp_writer::Bytes bitmap = bmp_writer::encode_bmp(
        {.bits = bits, .pixels = bmp_writer::grid(rows), .colours = colours});
    std::ofstream output(argv[3], std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(bitmap.data()),
                 static_cast<std::streamsize>(bitmap.size()));
    if (!output) throw std::runtime_error(std::string("cannot write ") + argv[3]);
  } catch (const std::exception& error) {
    std::cerr << "grid2bmp: " << error.what() << "\n";
    return 1;
  }
}
