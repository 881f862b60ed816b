// The process's entry point: the whole run, then the normal end.
#include "driver/driver.hpp"
#include "services/console.hpp"

// Windows starts the wide entry point, so that no argument has been through the
// ANSI code page; the C runtime splits the command line the same way for both.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  run_program(argc, argv);
  normal_end();
}
