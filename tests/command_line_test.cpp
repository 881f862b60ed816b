// The command line, the console channel and the ways a run ends, through the real program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "c64/palettes.hpp"
#include "support/json_reader.hpp"
#include "support/scenario.hpp"

namespace {

using namespace testing_support;

const std::string usage_tail =
    " <inname.bmp> <outname.prg> <startaddress in hex of output binary, \"none\" for no address>"
    " <add_zero_byte 1=on|0=off> <colour1> <colour2> <colour3> <colour4>";

std::string usage_output(const std::string& program) {
  return lines({banner_line, description_line, "Usage: " + program + usage_tail,
                "Example: " + program + " bob.bmp bob.prg 2000 0 0 1 2 3"});
}

TEST(CommandLine, AnyCountButEightGivesUsageAndStatus1) {
  for (int count : {0, 1, 7, 9, 12}) {
    TempDir folder;
    std::vector<std::string> arguments(static_cast<std::size_t>(count), "x.bmp");
    RunResult run = run_program(arguments, {.working_directory = folder.path});
    EXPECT_EQ(run.status, 1) << count;
    EXPECT_EQ(run.output,
              usage_output(shown_program_path(std::filesystem::canonical(program_path()).string())))
        << count;
    EXPECT_EQ(run.error, "") << count;
    EXPECT_TRUE(std::filesystem::is_empty(folder.path)) << "a file was created for " << count;
  }
}

// A copy of the program that shows a path of exactly `length` characters.
std::string program_copy_at_length(const TempDir& folder, std::size_t length) {
  std::string base = std::filesystem::canonical(folder.path).string() + "/";
  std::string extension = std::filesystem::path(program_path()).extension().string();
  std::size_t shown_base = shown_program_path(base + extension).size();
  std::string path = base + std::string(length - shown_base, 'q') + extension;
  std::filesystem::copy_file(program_path(), path);
  return path;
}

TEST(CommandLine, UsageLineIsCutAfter255Characters) {
  TempDir folder;
  std::string fits = program_copy_at_length(folder, 92);
  RunResult run = run_program({}, {.program = fits});
  std::string usage = "Usage: " + shown_program_path(fits) + usage_tail;
  ASSERT_EQ(usage.size(), 255u);
  EXPECT_NE(run.output.find("\r\n" + usage + "\r\n"), std::string::npos);

  std::string too_long = program_copy_at_length(folder, 93);
  run = run_program({}, {.program = too_long});
  std::string shown = shown_program_path(too_long);
  std::string cut = ("Usage: " + shown + usage_tail).substr(0, 255);
  EXPECT_TRUE(cut.ends_with("<colour4"));
  EXPECT_NE(run.output.find("\r\n" + cut + "\r\nExample: " + shown + " bob.bmp"),
            std::string::npos);
}

TEST(CommandLine, ClosedOrBrokenStandardOutputEndsWith101) {
  for (Stream stream : {Stream::closed, Stream::broken_pipe, Stream::device_full}) {
    if (stream == Stream::closed && !platform_can(Capability::closed_descriptors)) continue;
    TempDir folder;
    RunResult run = run_program({}, {.working_directory = folder.path, .output = stream});
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 101);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(report_problem(run.error, 101), "");
  }
}

// With standard error closed (and input too), the files opened would take their
// descriptors; the report must never land in a file, and the status still tells.
TEST(CommandLine, NoFileTakesAClosedStandardDescriptor) {
  REQUIRE_CAPABILITY(Capability::closed_descriptors);
  for (bool close_input : {false, true}) {
    TempDir folder;
    Bytes bitmap = encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(16)});
    put_i32(bitmap, at_bfOffBits, -1000);  // fails at the first seek, output open
    write_file(folder.file("in.bmp"), bitmap);
    RunResult run = run_program(
        {"in.bmp", "out.prg", "2000", "0", "0", "1", "2", "3"},
        {.working_directory = folder.path, .error = Stream::closed, .close_input = close_input});
    EXPECT_EQ(run.status, 131) << close_input;
    EXPECT_EQ(read_file(folder.file("out.prg")), Bytes({0x00, 0x20})) << close_input;
    EXPECT_EQ(read_file(folder.file("in.bmp")), bitmap) << close_input;
  }
}

// The report names the procedure that failed and its callers, as offsets that
// addr2line resolves in the program file: after an I/O error, and after a
// processor fault that gdb raises inside the program's own code.
TEST(RuntimeErrorReport, LocationsResolveToTheFailingProcedure) {
  const struct {
    std::string inname, fault_at;
    int status;
    std::string procedure;
  } cases[] = {
      {"missing.bmp", "", 2, "open_infile"},
      {"in.bmp", "loadwrite_bitmap", 216, "loadwrite_bitmap"},
  };
  for (const auto& c : cases) {
    if (!c.fault_at.empty() && !platform_can(Capability::debugger)) continue;  // natively only
    if (!c.fault_at.empty()) {
      REQUIRE_TOOL(gdb, "gdb");
    }
    TempDir folder;
    write_file(folder.file("in.bmp"), encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(16)}));
    RunResult run = run_program({c.inname, "out.prg", "2000", "0", "0", "1", "2", "3"},
                                {.working_directory = folder.path, .fault_at = c.fault_at});
    EXPECT_EQ(run.status, c.status);
    std::size_t report = run.error.find("Runtime error ");
    ASSERT_NE(report, std::string::npos) << run.error;
    if (c.fault_at.empty()) {
      EXPECT_EQ(report_problem(run.error, c.status), "");
      // the location, then the procedure again, then at least one caller
      EXPECT_GE(std::count(run.error.begin(), run.error.end(), '$'), 3) << run.error;
    }
    REQUIRE_CAPABILITY(Capability::elf_debug_info);
    REQUIRE_TOOL(addr2line, tool_prefix() + "addr2line");
    std::string offsets;
    for (std::size_t at = report; (at = run.error.find('$', at)) != std::string::npos; ++at)
      offsets += " 0x" + run.error.substr(at + 1, 16);
    std::string names = folder.file("names.txt");
    ASSERT_EQ(shell(addr2line + " -f -C -i -e " + program_path() + offsets + " > " + names), 0);
    Bytes resolved = read_file(names);
    std::string text(resolved.begin(), resolved.end());
    // The first location may be in code inlined into the procedure.
    EXPECT_NE(text.substr(0, text.find("\nrun_conversion(")).find(c.procedure), std::string::npos)
        << text;
    EXPECT_NE(text.find("\nrun_conversion("), std::string::npos) << text;
  }
}

TEST(RuntimeErrorReport, ProcessorFaultEndsWith216) {
  REQUIRE_CAPABILITY(Capability::fault_signals);
  TempDir folder;
  // A pipe with a writer but no data: the program waits in its first read; the
  // signal comes once it says so, when its handlers are surely in place
  // (qemu-user may take long to get there).
  Fifo fifo(folder.file("in.bmp"), {}, true);
  RunResult run = run_program({"in.bmp", "out.prg", "2000", "0", "0", "1", "2", "3"},
                              {.working_directory = folder.path,
                               .signal_number = SIGSEGV,
                               .signal_after_output = "load_header... "});
  EXPECT_EQ(run.status, 216);
  EXPECT_EQ(report_problem(run.error, 216), "");
}

}  // namespace

namespace {

// A bitmap whose pixel data lies `distance` bytes into the file, with a hole
// (that takes no disk space) before it.
void write_far(const std::string& path, const Bytes& bitmap, std::int64_t distance) {
  auto offset = static_cast<std::size_t>(bitmap[10] | bitmap[11] << 8);
  Bytes head(bitmap.begin(), bitmap.begin() + static_cast<std::ptrdiff_t>(offset));
  put_i32(head, at_bfOffBits, static_cast<std::int32_t>(distance));
  write_file(path, head);
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_EQ(pwrite(fd, bitmap.data() + offset, bitmap.size() - offset, distance),
            static_cast<ssize_t>(bitmap.size() - offset));
  close(fd);
}

// quorvel-check, the same build's companion: its statuses, its lines and the
// names it reads, on every platform.
TEST(CheckProgram, SaysWhatIsWrongInOneLineEachWithItsStatus) {
  const std::string one_colour =
      "warning: palette index 5 is used (504 pixels, the first at 0, 0); Quorvel reads indices 0 "
      "to 3, the others become the background: move each to an index of 0 to 3 that the picture "
      "leaves free, with its palette entry: 5 to 0 (colour1 \"0\": code 0, the background) "
      "(README: \"Making a bitmap that converts\")\n";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string output, error;
    Stream stream = Stream::capture;
  } cases[] = {
      {{"in.bmp", "out.prg", "$c000", "1", "0x1", "%10", "3", "0"}, 0, "", ""},
      {{"气球.bmp"}, 0, "", ""},
      {{"five.bmp"}, 1, "five.bmp: " + one_colour, ""},
      {{"five.bmp", "out.prg", "2000", "1", "0", "1", "2", "3"}, 1, "five.bmp: " + one_colour, ""},
      {{"none.bmp"}, 2, "", "quorvel-check: cannot read \"none.bmp\": there is no such file\n"},
      // more than the memory a WebAssembly program starts with
      {{"big.bmp"}, 1, "big.bmp: error: a picture of 0 bits a pixel", ""},
      // the pixel data past the most the check reads: read where it lies
      {{"far.bmp", "far.prg", "2000", "1", "0", "1", "2", "3"}, 0, "", ""},
      {{"blue.bmp"},
       0,
       "blue.bmp: note: entry 6, C64 blue, becomes the background (code 0, $D021), as the picture "
       "shows it\n",
       ""},
      // endless, and no BMP: told after two bytes
      {{"/dev/zero"}, 1, "/dev/zero: error: the file is not a BMP file", ""},
      {{"five.bmp"}, 2, "", "", Stream::device_full},
      {{"--version"}, 0, "quorvel-check " QUORVEL_RELEASE_VERSION "\n", ""},
      {{}, 2, "", "Usage: quorvel-check BITMAP\n"},
  };
  for (const auto& c : cases) {
    std::string name = c.arguments.empty() ? "" : c.arguments[0];
    if (name == "/dev/zero" && testing_windows_build()) continue;  // no such device there
    TempDir folder;
    Bytes clean = encode_bmp({.bits = 4, .pixels = sprite_sized_pixels(4)});
    write_file(folder.file("in.bmp"), clean);
    write_file(folder.file("气球.bmp"), clean);
    write_file(folder.file("five.bmp"),
               encode_bmp({.bits = 4, .pixels = PixelRows(21, std::vector<std::uint8_t>(24, 5))}));
    if (name == "big.bmp") write_file(folder.file("big.bmp"), "BM" + std::string(4 << 20, '\0'));
    if (name == "far.bmp") write_far(folder.file("far.bmp"), clean, std::int64_t{100} << 20);
    if (name == "blue.bmp") {
      std::vector<std::uint32_t> c64(c64::palettes[0].rgb.begin(), c64::palettes[0].rgb.end());
      PixelRows pixels = sprite_sized_pixels(4);
      for (auto& row : pixels)
        std::replace(row.begin(), row.end(), std::uint8_t{0}, std::uint8_t{6});
      write_file(folder.file("blue.bmp"),
                 encode_bmp({.bits = 4, .pixels = pixels, .colours = c64}));
    }
    RunResult run = run_program(
        c.arguments,
        {.working_directory = folder.path, .output = c.stream, .program = checker_path()});
    EXPECT_EQ(run.status, c.status) << name;
    EXPECT_TRUE(run.output.starts_with(c.output) && (c.output.empty() == run.output.empty()))
        << name << ": " << run.output;
    EXPECT_TRUE(run.error.starts_with(c.error)) << name << ": " << run.error;
    EXPECT_FALSE(file_exists(folder.file("out.prg"))) << name;
    if (name.empty() || name.starts_with("--") || c.stream != Stream::capture) continue;
    std::vector<std::string> as_json = {"--format", "json"};
    as_json.insert(as_json.end(), c.arguments.begin(), c.arguments.end());
    RunResult json =
        run_program(as_json, {.working_directory = folder.path, .program = checker_path()});
    EXPECT_EQ(json_disagreement(json.output, json.status, run.output, run.error, run.status,
                                shown_name(name)),
              "")
        << name;
  }
}

}  // namespace
