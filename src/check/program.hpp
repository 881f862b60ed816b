// quorvel-check's whole run for the process's arguments (argv[0] is the
// program name): 0 nothing found, 1 findings, 2 cannot check.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "services/platform/platform.hpp"

int run_check(int argc, platform::ArgumentChar** argv);

// What quorvel-check and quorvel-sheet both say, and how.
namespace companion {

// One write of a text to a stream; false when it was refused or cut short.
bool say(platform::Handle stream, std::string_view text);
// Why a file cannot be read or written, for its I/O error number.
std::string cannot_reason(std::uint16_t error);

}  // namespace companion
