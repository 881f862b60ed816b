// quorvel-check's whole run for the process's arguments (argv[0] is the
// program name): 0 nothing found, 1 findings, 2 cannot check.
#pragma once

#include "services/platform/platform.hpp"

int run_check(int argc, platform::ArgumentChar** argv);
