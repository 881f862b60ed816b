#include "driver/driver.hpp"
#include "services/console.hpp"

int main(int argc, char** argv) {
  run_program(argc, argv);
  normal_end();
}
