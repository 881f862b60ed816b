// quorvel-sheet: many C64 sprites from the cells of one picture, by C64
// colour or by palette index, with the labels for the assembler.
#include "sheet/program.hpp"

// Windows starts the wide entry point, so that names reach the file system as typed.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  return run_sheet(argc, argv);
}
