// quorvel-check's run: its arguments, reading the bitmap, and one line for
// each finding.
#include "check/program.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "check/checks.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"
#include "services/platform/platform.hpp"

namespace {

constexpr int clean = 0;
constexpr int found = 1;
constexpr int cannot_check = 2;
// Enough for any bitmap that can become a sprite, and far more.
constexpr std::size_t most_bytes = 64 << 20;

constexpr std::string_view help =
    "Usage: quorvel-check BITMAP\n"
    "       quorvel-check BITMAP OUTNAME STARTADDRESS ADD_ZERO_BYTE COLOUR1 COLOUR2 COLOUR3 "
    "COLOUR4\n"
    "Checks a bitmap, and the arguments of a quorvel run, for everything that would make the\n"
    "sprite differ from the picture, and says what to do. Put -check after quorvel's name and\n"
    "change nothing else. Writes no file.\n"
    "Each finding is one line: BITMAP: warning: what, where, what to do (error: for what\n"
    "quorvel refuses). Exit status: 0 nothing found, 1 findings, 2 cannot check.\n"
    "See man quorvel-check.\n";

bool say(platform::Handle stream, std::string_view text) {
  return platform::write_console(stream, text.data(), text.size());
}

// Why a file cannot be read, for its I/O error number.
std::string reason(std::uint16_t error) {
  switch (error) {
    case exit_status::file_not_found:
      return "there is no such file";
    case exit_status::path_not_found:
      return "a folder in its path does not exist, or the name is too long";
    case exit_status::access_denied:
      return "access is denied, or it is a folder";
    case exit_status::invalid_name:
      return "the system cannot take the name";
    default:
      return "the system said error " + std::to_string(error);
  }
}

// The whole file (at most most_bytes), or the I/O error number.
std::uint16_t read_whole(const std::string& name, std::vector<std::uint8_t>& bytes) {
  platform::Handle handle = platform::no_handle;
  if (std::uint16_t error = platform::open_existing_file(name, handle)) return error;
  std::uint16_t error = 0;
  while (error == 0 && bytes.size() < most_bytes) {
    std::size_t at = bytes.size(), delivered = 0;
    bytes.resize(at + (1 << 16));
    error = platform::read_file(handle, bytes.data() + at, bytes.size() - at, delivered);
    bytes.resize(at + delivered);
    if (delivered == 0) break;
  }
  platform::close_file_handle(handle);
  return error;
}

int check_file(const std::vector<std::string>& arguments) {
  const std::string& name = arguments[1];
  std::string shown = platform::console_text(name);
  std::vector<std::uint8_t> bytes;
  std::uint16_t error =
      name.empty() ? std::uint16_t{exit_status::file_not_found} : read_whole(name, bytes);
  if (error != 0) {
    say(platform::standard_error(),
        "quorvel-check: cannot read \"" + shown + "\": " + reason(error) + "\n");
    return cannot_check;
  }
  std::vector<check::Finding> findings = check::check_picture(bytes);
  if (arguments.size() == 9) {
    check::Arguments given{
        platform::console_text(arguments[3]),
        platform::console_text(arguments[4]),
        {platform::console_text(arguments[5]), platform::console_text(arguments[6]),
         platform::console_text(arguments[7]), platform::console_text(arguments[8])}};
    for (check::Finding& finding : check::check_arguments(bytes, given))
      findings.push_back(finding);
  }
  for (const check::Finding& finding : findings) {
    std::string line = shown + (finding.refused ? ": error: " : ": warning: ") + finding.message;
    if (!say(platform::standard_output(), line + "\n")) return cannot_check;
  }
  return findings.empty() ? clean : found;
}

}  // namespace

int run_check(int argc, platform::ArgumentChar** argv) {
  platform::prepare_process(fatal_error);
  std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  if (arguments.size() == 2 && arguments[1] == "--help")
    return say(platform::standard_output(), help) ? clean : cannot_check;
  if (arguments.size() == 2 && arguments[1] == "--version")
    return say(platform::standard_output(), "quorvel-check " QUORVEL_RELEASE_VERSION "\n")
               ? clean
               : cannot_check;
  if (arguments.size() != 2 && arguments.size() != 9) {
    say(platform::standard_error(), help);
    return cannot_check;
  }
  return check_file(arguments);
}
