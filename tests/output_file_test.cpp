// The output file: its creation, load address and trailing zero byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "support/scenario.hpp"

namespace {

using namespace testing_support;

Bytes standard_bitmap() {
  return encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(16)});
}

std::vector<std::string> arguments(const std::string& inname, const std::string& outname) {
  return {inname, outname, "2000", "0", "0", "1", "2", "3"};
}

TEST(OutputLayout, AddressAndZeroByteMake63To66Bytes) {
  const struct {
    std::string startaddress;
    std::string add_zero_byte;
    std::size_t size;
    std::string command_line;  // Windows: as the C runtime splits it, 8 arguments
  } cases[] = {
      {"none", "0", 63},
      {"none", "1", 64},
      {"2000", "0", 65},
      {"2000", "1", 66},
      {"none", "01", 63},
      {"none", " 1", 63},
      {"none", "1 ", 63},
      {"none", "on", 63},
      {"none", "1\"", 63, R"(in.bmp out.prg none "1""" 0 1 2 3)"},
  };
  Bytes sprite;
  for (const auto& c : cases) {
    TempDir folder;
    Conversion result =
        convert(folder, standard_bitmap(),
                {c.startaddress, c.add_zero_byte, {"0", "1", "2", "3"}, c.command_line});
    ASSERT_EQ(result.run.status, 0);
    ASSERT_EQ(result.output.size(), c.size) << c.startaddress << " " << c.add_zero_byte;
    std::size_t start = c.startaddress == "none" ? 0 : 2;
    Bytes body(result.output.begin() + static_cast<long>(start),
               result.output.begin() + static_cast<long>(start) + 63);
    if (sprite.empty()) sprite = body;
    EXPECT_EQ(body, sprite) << "the sprite bytes do not depend on the layout";
    if (c.add_zero_byte == "1") {
      EXPECT_EQ(result.output.back(), 0);
    }
  }
}

TEST(OutputLayout, ZeroByteLineComesBeforeClosing) {
  TempDir folder;
  Conversion result = convert(folder, standard_bitmap(), {"none", "1"});
  EXPECT_NE(
      result.run.output.find(
          "\r\nloadwrite_bitmap: done.\r\nAdding one byte to the output binary (for packing "
          "multiple sprites for example)...\r\nClosing file...\r\n306 bytes totally read.\r\n"),
      std::string::npos);
}

// The address as a C64 programmer types it; the console echoes the text as typed.
TEST(LoadAddress, LowByteFirstFromTheHexDigits) {
  const struct {
    std::string startaddress;
    Bytes address;  // empty: no address
  } cases[] = {
      {"2000", {0x00, 0x20}},
      {"0801", {0x01, 0x08}},
      {"c000", {0x00, 0xC0}},
      {"C000", {0x00, 0xC0}},
      {"$c000", {0x00, 0xC0}},
      {"0x2000", {0x00, 0x20}},
      {"0X0801", {0x01, 0x08}},
      {"$801", {0x01, 0x08}},
      {"801", {0x01, 0x08}},
      {"c0", {0xC0, 0x00}},
      {"20", {0x20, 0x00}},
      {"1", {0x01, 0x00}},
      {"abc", {0xBC, 0x0A}},
      {"", {0x00, 0x00}},
      {"$", {0x00, 0x00}},
      {"zz", {0x00, 0x00}},
      {"c0001", {0x00, 0xC0}},
      {"12g4", {0x04, 0x12}},
      {"x2000", {0x00, 0x02}},
      {"None", {}},
      {"NONE", {}},
      {"nOnE", {}},
      {"none ", {0x0E, 0x00}},
  };
  for (const auto& c : cases) {
    TempDir folder;
    Conversion result = convert(folder, standard_bitmap(), {c.startaddress, "0"});
    ASSERT_EQ(result.output.size(), 63 + c.address.size()) << c.startaddress;
    EXPECT_EQ(
        Bytes(result.output.begin(), result.output.begin() + static_cast<long>(c.address.size())),
        c.address)
        << c.startaddress;
    EXPECT_NE(result.run.output.find("\r\nOpening file \"out.prg\" ($" + c.startaddress +
                                     ") for writing...\r\n"),
              std::string::npos);
  }
}

TEST(OutputFile, ExistingLongerFileIsReplaced) {
  TempDir folder;
  write_file(folder.file("out.prg"), std::string(1000, 'x'));
  Conversion result = convert(folder, standard_bitmap());
  EXPECT_EQ(result.output.size(), 65u);
}

TEST(OutputFile, RefusedCreationEndsWithTheErrorNumber) {
  const struct {
    std::string outname;
    int status;
  } cases[] = {
      {"nofolder/out.prg", 3}, {"sub", 5}, {"in.bmp/out.prg", 3}, {std::string(300, 'o'), 3}};
  for (const auto& c : cases) {
    // Wine takes a name part over 255 characters for a missing file.
    if (c.outname.size() > 255 && testing_windows_build()) continue;
    TempDir folder;
    ASSERT_EQ(mkdir(folder.file("sub").c_str(), 0755), 0);
    write_file(folder.file("in.bmp"), standard_bitmap());
    RunResult run = run_program(arguments("in.bmp", c.outname), {.working_directory = folder.path});
    EXPECT_EQ(run.status, c.status) << c.outname;
    EXPECT_EQ(report_problem(run.error, c.status), "");
    std::string opening = "Opening file \"" + c.outname + "\" ($2000) for writing...";
    EXPECT_TRUE(run.output.ends_with(opening.substr(0, 255) + "\r\n")) << c.outname;
    if (c.outname.size() > 255) {
      EXPECT_FALSE(file_exists(folder.file(c.outname.substr(0, 255))));  // no shortened name
    }
  }
}

TEST(OutputFile, FullDeviceFailsAtTheFirstWrite) {
  TempDir folder;
  write_file(folder.file("in.bmp"), standard_bitmap());
  RunResult run = run_program(arguments("in.bmp", "/dev/full"), {.working_directory = folder.path});
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(report_problem(run.error, 101), "");
  run = run_program(arguments("in.bmp", "/dev/null"), {.working_directory = folder.path});
  EXPECT_EQ(run.status, 0);
}

// Naming the input as the output, directly, through another link or through a
// device (a loop device on the bitmap, or another node of one device), must
// never destroy the bitmap; a device that holds a bitmap converts like a file.
// "LOOP" stands for a loop device made on in.bmp, "NODE" for a second node of it.
TEST(OutputFile, InputIsNeverOverwritten) {
  const struct {
    std::string inname, outname;
    int status;
  } cases[] = {
      {"in.bmp", "in.bmp", 5},   {"in.bmp", "./in.bmp", 5}, {"in.bmp", "hard.bmp", 5},
      {"in.bmp", "soft.bmp", 5}, {"LOOP", "LOOP", 5},       {"in.bmp", "LOOP", 5},
      {"LOOP", "in.bmp", 5},     {"LOOP", "NODE", 5},       {"LOOP", "out.prg", 0},
  };
  int without_device = 0;
  for (const auto& c : cases) {
    bool device = c.inname == "LOOP" || c.outname == "LOOP";
    TempDir folder;
    Bytes bitmap = standard_bitmap();
    bitmap.resize(65536);  // whole sectors, for a loop device
    write_file(folder.file("in.bmp"), bitmap);
    ASSERT_EQ(link(folder.file("in.bmp").c_str(), folder.file("hard.bmp").c_str()), 0);
    ASSERT_EQ(symlink("in.bmp", folder.file("soft.bmp").c_str()), 0);
    std::string loop;
    if (device) {
      std::string made = folder.file("device.txt");
      if (testing_windows_build() || shell("losetup -f --show " + folder.file("in.bmp") + " > " +
                                           made + " 2>/dev/null") != 0) {
        ++without_device;
        continue;
      }
      Bytes name = read_file(made);
      loop = std::string(name.begin(), name.end() - 1);
      ASSERT_EQ(shell("cp -a " + loop + " " + folder.file("NODE")), 0);
    }
    auto name = [&loop](const std::string& given) { return given == "LOOP" ? loop : given; };
    RunResult run =
        run_program(arguments(name(c.inname), name(c.outname)), {.working_directory = folder.path});
    if (device) shell("losetup -d " + loop);
    EXPECT_EQ(run.status, c.status) << c.inname << " " << c.outname << run.error;
    EXPECT_EQ(read_file(folder.file("in.bmp")), bitmap) << c.inname << " " << c.outname;
    if (c.status == 0) {
      EXPECT_EQ(read_file(folder.file(c.outname)).size(), 65u);
    }
  }
  // Only once every other row has run, so that those rows are never skipped.
  if (without_device > 0) GTEST_SKIP() << without_device << " rows need root and losetup, on Linux";
}

// Names reach the file system exactly as typed: a character outside the code
// page never becomes a lookalike that names another file.
TEST(OutputFile, NamesAreUsedAsTyped) {
  const struct {
    std::string inname, outname, lookalike;
  } cases[] = {
      {"in.bmp", "ł.prg", "l.prg"},
      {"in.bmp", "Ā.prg", "A.prg"},
      {"in.bmp", "ＡＢ.prg", "AB.prg"},
      {"气球.bmp", "out.prg", ""},
      {"in.bmp", "x\xED\xA0\x80.prg", "x\uFFFD.prg"},  // an unpaired surrogate, U+D800
      {"in.bmp", "\U0001F388.prg", ""},                // past U+FFFF: a surrogate pair
      {"in.bmp", "\xFF.prg", "\uFFFD.prg"},            // bytes that are no UTF-8
      {"\xFE.bmp", "out.prg", "\uFFFD.bmp"},
  };
  TempDir reference;
  Bytes expected = convert(reference, standard_bitmap()).output;
  for (const auto& c : cases) {
    // No Windows command line carries bytes that are no UTF-8.
    if (testing_windows_build() &&
        (c.inname + c.outname).find_first_of("\xFE\xFF") != std::string::npos)
      continue;
    TempDir folder;
    write_file(folder.file(c.inname), standard_bitmap());
    if (!c.lookalike.empty()) write_file(folder.file(c.lookalike), std::string("other"));
    RunResult run = run_program(arguments(c.inname, c.outname), {.working_directory = folder.path});
    // Wine cannot store an unpaired surrogate in a Unix name: not found, 2.
    bool storable = !testing_windows_build() || c.outname.find('\xED') == std::string::npos;
    EXPECT_EQ(run.status, storable ? 0 : 2) << c.outname;
    if (storable) {
      EXPECT_EQ(read_file(folder.file(c.outname)), expected) << c.outname;
    }
    if (!c.lookalike.empty()) {
      EXPECT_EQ(read_file(folder.file(c.lookalike)).size(), 5u) << c.lookalike;
    }
    EXPECT_NE(run.output.find("\"" + shown_name(c.inname) + "\" for reading...\r\n"),
              std::string::npos);
    EXPECT_NE(run.output.find("\"" + shown_name(c.outname) + "\" ($2000)"), std::string::npos);
  }
}

// A name already in the device or long form is passed on as written.
TEST(OutputFile, DeviceFormNameIsPassedOnAsWritten) {
  if (!testing_windows_build()) GTEST_SKIP() << "a Windows name form";
  TempDir folder;
  std::string directory = std::string(200, 'd') + "/" + std::string(100, 'e');
  ASSERT_TRUE(std::filesystem::create_directories(folder.file(directory)));
  write_file(folder.file("in.bmp"), standard_bitmap());
  for (std::string prefix : {"\\\\.\\", "\\??\\"}) {
    std::string outname = prefix + shown_program_path(folder.file(directory + "/out.prg"));
    RunResult run = run_program(arguments("in.bmp", outname), {.working_directory = folder.path});
    EXPECT_EQ(run.status, 0) << prefix;
    EXPECT_EQ(read_file(folder.file(directory + "/out.prg")).size(), 65u) << prefix;
  }
}

// A named pipe as output waits for its reader, which gets every byte.
TEST(OutputFile, NamedPipeGetsEveryByte) {
  REQUIRE_CAPABILITY(Capability::named_pipes);
  TempDir folder;
  write_file(folder.file("in.bmp"), standard_bitmap());
  std::string fifo = folder.file("out.prg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The reader allocates nothing: the program is forked while it runs.
  Bytes received(1024);
  std::size_t count = 0;
  std::thread reader([&fifo, &received, &count] {
    int fd = open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    for (ssize_t got; (got = read(fd, received.data() + count, received.size() - count)) > 0;)
      count += static_cast<std::size_t>(got);
    close(fd);
  });
  RunResult run = run_program(arguments("in.bmp", "out.prg"), {.working_directory = folder.path});
  close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));  // a reader still waiting ends
  reader.join();
  EXPECT_EQ(run.status, 0);
  TempDir reference;
  Bytes expected = convert(reference, standard_bitmap()).output;
  EXPECT_EQ(Bytes(received.begin(), received.begin() + static_cast<long>(count)), expected);
}

// Each file needs only its own access: a bitmap its user may only read, an
// existing output it may only write. Root may do anything, so an ordinary
// user runs a copy of the program. Natively only: Wine opens no file that its
// user may write but not read, whatever the access asked for.
TEST(OutputFile, EachFileNeedsOnlyItsOwnAccess) {
  REQUIRE_CAPABILITY(Capability::other_user);
  const struct {
    mode_t input_mode;
    bool output_exists;
  } cases[] = {{0444, false}, {0644, true}};
  for (const auto& c : cases) {
    TempDir folder;
    ASSERT_EQ(chmod(folder.path.c_str(), 0777), 0);
    write_file(folder.file("in.bmp"), standard_bitmap());
    ASSERT_EQ(chmod(folder.file("in.bmp").c_str(), c.input_mode), 0);
    if (c.output_exists) {
      write_file(folder.file("out.prg"), std::string("previous"));
      ASSERT_EQ(chmod(folder.file("out.prg").c_str(), 0222), 0);
    }
    std::string program = program_for_other_users(folder);
    if (program.empty()) GTEST_SKIP() << "another user cannot enter " << folder.path;
    int user = geteuid() == 0 ? 65534 : -1;
    RunResult run =
        run_program(arguments("in.bmp", "out.prg"),
                    {.working_directory = folder.path, .user_id = user, .program = program});
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(read_file(folder.file("out.prg")).size(), 65u);
  }
}

TEST(OutputFile, LongNameIsUsedWholeAndCutOnlyOnTheConsole) {
  TempDir folder;
  std::string directory(44, 'd');
  ASSERT_EQ(mkdir(folder.file(directory).c_str(), 0755), 0);
  std::string outname = directory + "/" + std::string(255, 'o');  // the longest name part
  ASSERT_EQ(outname.size(), 300u);
  write_file(folder.file("in.bmp"), standard_bitmap());
  RunResult run = run_program(arguments("in.bmp", outname), {.working_directory = folder.path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(folder.file(outname)).size(), 65u);
  std::string line = ("Opening file \"" + outname).substr(0, 255);
  EXPECT_NE(run.output.find("\r\n" + line + "\r\n"), std::string::npos);
}

TEST(OutputFile, EmptyNameWritesAmongTheConsoleLines) {
  TempDir folder;
  Bytes bitmap = standard_bitmap();
  write_file(folder.file("in.bmp"), bitmap);
  RunResult run = run_program({"in.bmp", "", "2000", "1", "0", "1", "2", "3"},
                              {.working_directory = folder.path});
  EXPECT_EQ(run.status, 0);
  std::string opening = "Opening file \"\" ($2000) for writing...\r\n";
  std::size_t at = run.output.find(opening);
  ASSERT_NE(at, std::string::npos);
  std::string after = run.output.substr(at + opening.size());
  EXPECT_EQ(after.substr(0, 2), std::string("\x00\x20", 2));
  std::string sizes = "252 bytes bitmap data.\r\n";
  EXPECT_EQ(after.substr(2, sizes.size()), sizes);
  EXPECT_NE(run.output.find("...\r\n" + std::string(1, '\0') + "Closing file..."),
            std::string::npos);
}

// Sprite bytes into standard output: a pipe whose reader goes midway is a
// failed write, as on the console; a full non-blocking pipe is waited for.
TEST(OutputFile, StandardOutputPipeGetsEveryByteOrEndsWith101) {
  const struct {
    Stream output;
    std::size_t output_limit;
    int status;
  } cases[] = {{Stream::capture, 2000, 101}, {Stream::slow_nonblocking_pipe, 0, 0}};
  for (const auto& c : cases) {
    if (c.output == Stream::slow_nonblocking_pipe && testing_windows_build()) continue;
    TempDir folder;
    PixelRows wide(200, std::vector<std::uint8_t>(4096, 1));
    write_file(folder.file("in.bmp"), encode_bmp({.bits = 8, .pixels = wide}));
    RunResult run = run_program(
        {"in.bmp", "", "none", "0", "0", "1", "2", "3"},
        {.working_directory = folder.path, .output = c.output, .output_limit = c.output_limit});
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, c.status);
    if (c.status == 0) {
      EXPECT_TRUE(run.output.ends_with("bytes totally read.\r\n\r\nClosing file...\r\n"));
    } else {
      EXPECT_EQ(report_problem(run.error, c.status), "");
    }
  }
}

}  // namespace
