// quorvel-sheet's whole run for the process's arguments (argv[0] is the
// program name): 0 written, 1 findings (nothing written), 2 cannot.
#pragma once

#include "services/platform/platform.hpp"

int run_sheet(int argc, platform::ArgumentChar** argv);
