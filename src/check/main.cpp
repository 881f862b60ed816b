// quorvel-check: reads a bitmap (and the converter's arguments) and tells,
// before a conversion, every way the sprite would not be the picture.
#include "check/program.hpp"

// Windows starts the wide entry point, so that names reach the file system as typed.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  return run_check(argc, argv);
}
