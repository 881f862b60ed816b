// What most end-to-end tests share: the fixed lines, a standard picture and a
// conversion run in a fresh folder.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/bmp_builder.hpp"
#include "support/run_binary.hpp"

namespace testing_support {

inline const std::string banner_line = "Quorvel v1.4 [06.06.2017] *** by Brannick";
inline const std::string description_line =
    "Description: Reads a 16color (4bit/8bit) or black/white (1bit) 24x21 pixel bmp and writes a "
    "binary for c64.";

// A 24 by 21 picture with a different palette index pattern in every row.
PixelRows sprite_sized_pixels(int colours);

// The arguments after the two file names: start address, zero byte, four colours.
struct Settings {
  std::string startaddress = "2000";
  std::string add_zero_byte = "0";
  std::vector<std::string> colours = {"0", "1", "2", "3"};
  std::string command_line;  // Windows: the same arguments as a raw command line
};

struct Conversion {
  RunResult run;
  Bytes output;  // the output file, empty when it does not exist
  bool output_exists = false;
};

// Writes `bitmap` as in.bmp into `folder` and converts it into out.prg there.
Conversion convert(const TempDir& folder, const Bytes& bitmap, const Settings& settings = {});

// The complete console output of a successful run of the standard case.
std::vector<std::string> header_lines(const std::string& inname, int bytes, int bits);

// Matches a runtime error report with `number`; returns "" or what is wrong.
std::string report_problem(const std::string& error_text, int number);

// POSIX extended regular expressions (the C library's: <regex> took seconds
// to compile); a match is the leftmost, longest one.
// Whether `pattern` matches the whole of `text`.
bool matches_whole(const std::string& text, const std::string& pattern);
// Every match of `pattern` in `text`, in order: the match, then its groups.
std::vector<std::vector<std::string>> all_matches(const std::string& text,
                                                  const std::string& pattern);

// Finds a general tool (ImageMagick, netpbm) on PATH; "" when it is not
// installed. A `convert` that is not ImageMagick's does not count.
std::string find_tool(const std::string& name);

// A copy of the program in `folder`, for a run as another user wherever the
// build sits; "" when that user cannot reach the folder.
std::string program_for_other_users(const TempDir& folder);
// Skips the test when a tool is missing, unless QUORVEL_REQUIRE_TOOLS is set.
#define REQUIRE_TOOL(path, name)                                                       \
  std::string path = ::testing_support::find_tool(name);                               \
  if (path.empty()) {                                                                  \
    if (std::getenv("QUORVEL_REQUIRE_TOOLS") != nullptr) FAIL() << name << " missing"; \
    GTEST_SKIP() << name << " is not installed";                                       \
  }

// Skips a test whose set-up this platform cannot make.
#define REQUIRE_CAPABILITY(capability)                          \
  if (!::testing_support::platform_can(capability)) {           \
    GTEST_SKIP() << "this platform cannot set up " #capability; \
  }

// A named pipe (FIFO) as a program's input. With `bytes`, a writer has put
// them in and stays until they have all been read, or until the test is done
// with it (the reader then sees the end of the data): a pipe with a writer.
// A writer without bytes stays until the test is done. Without a writer,
// nobody writes.
struct Fifo {
  Fifo(const std::string& path, const Bytes& bytes = {}, bool writer = false);
  ~Fifo();
  Fifo(const Fifo&) = delete;
  Fifo& operator=(const Fifo&) = delete;
  int both_ends = -1;
  std::thread closer;
  std::atomic<bool> done{false};
};

// Runs a shell command; returns its exit status.
int shell(const std::string& command);

}  // namespace testing_support
