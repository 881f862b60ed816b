// Failures from outside: a write that fails halfway and a file held by another process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/scenario.hpp"

namespace {

using namespace testing_support;

const std::vector<std::string> arguments = {"in.bmp", "out.prg", "2000", "1", "0", "1", "2", "3"};

Bytes standard_bitmap() {
  return encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(16)});
}

// The file size limit makes the write of byte 31 fail (EFBIG, not a signal).
TEST(Faults, WriteFailingMidSpriteKeepsTheBytesBefore) {
  REQUIRE_CAPABILITY(Capability::file_size_limit);
  TempDir folder;
  write_file(folder.file("in.bmp"), standard_bitmap());
  RunResult complete = run_program(arguments, {.working_directory = folder.path});
  ASSERT_EQ(complete.status, 0);
  Bytes whole = read_file(folder.file("out.prg"));

  RunResult cut = run_program(arguments, {.working_directory = folder.path, .file_size_limit = 30});
  EXPECT_EQ(cut.signal, 0);
  EXPECT_EQ(cut.status, 101);
  EXPECT_EQ(report_problem(cut.error, 101), "");
  EXPECT_EQ(read_file(folder.file("out.prg")), Bytes(whole.begin(), whole.begin() + 30));
  EXPECT_TRUE(cut.output.ends_with(
      "Image is in 4 bit indexed colours mode: Converting it to a multicolor sprite\r\n"));
}

// Another run reading or writing the output holds a lock on it: refused,
// untouched. Devices are never locked: two runs may write /dev/null at once.
TEST(Faults, OutputHeldByAnotherProcessIsRefused) {
  REQUIRE_CAPABILITY(Capability::advisory_locks);
  const struct {
    std::string outname;
    int lock;
    int status;
  } cases[] = {{"out.prg", LOCK_SH, 5}, {"out.prg", LOCK_EX, 5}, {"/dev/null", LOCK_EX, 0}};
  for (const auto& c : cases) {
    TempDir folder;
    write_file(folder.file("in.bmp"), standard_bitmap());
    write_file(folder.file("out.prg"), std::string("previous sprite"));
    std::vector<std::string> command = arguments;
    command[1] = c.outname;
    int holder = open(c.outname == "out.prg" ? folder.file("out.prg").c_str() : c.outname.c_str(),
                      O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(holder, c.lock | LOCK_NB), 0);
    RunResult run = run_program(command, {.working_directory = folder.path});
    close(holder);
    EXPECT_EQ(run.status, c.status) << c.outname;
    if (c.status != 0) {
      EXPECT_EQ(report_problem(run.error, c.status), "");
    }
    Bytes kept = read_file(folder.file("out.prg"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous sprite");
  }
}

// A bitmap being written by another run cannot be read half-made.
TEST(Faults, InputHeldForWritingIsRefused) {
  REQUIRE_CAPABILITY(Capability::advisory_locks);
  TempDir folder;
  write_file(folder.file("in.bmp"), standard_bitmap());
  int holder = open(folder.file("in.bmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  RunResult run = run_program(arguments, {.working_directory = folder.path});
  close(holder);
  EXPECT_EQ(run.status, 5);
  EXPECT_FALSE(file_exists(folder.file("out.prg")));
}

}  // namespace
