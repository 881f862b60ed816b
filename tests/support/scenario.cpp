// What most end-to-end tests share: the standard picture, a conversion in a fresh folder, tools.
#include "support/scenario.hpp"

#include <fcntl.h>
#include <regex.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

namespace testing_support {

PixelRows sprite_sized_pixels(int colours) {
  PixelRows pixels(21, std::vector<std::uint8_t>(24, 0));
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 24; ++x)
      pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>((x / 2 + y) % colours);
  return pixels;
}

Conversion convert(const TempDir& folder, const Bytes& bitmap, const Settings& settings) {
  write_file(folder.file("in.bmp"), bitmap);
  std::vector<std::string> arguments = {"in.bmp", "out.prg", settings.startaddress,
                                        settings.add_zero_byte};
  arguments.insert(arguments.end(), settings.colours.begin(), settings.colours.end());
  Conversion result;
  result.run = run_program(
      arguments, {.working_directory = folder.path, .command_line = settings.command_line});
  result.output_exists = file_exists(folder.file("out.prg"));
  if (result.output_exists) result.output = read_file(folder.file("out.prg"));
  return result;
}

std::vector<std::string> header_lines(const std::string& inname, int bytes, int bits) {
  std::string mode = bits == 1
                         ? "Image is in 1 bit black/white mode."
                         : "Image is in " + std::to_string(bits) + " bit indexed colours mode.";
  return {banner_line, description_line,
          "",          "Opening file \"" + inname + "\" for reading...",
          "",          "load_header... [" + std::to_string(bytes) + " bytes read] done.",
          mode};
}

namespace {

// Compiled once each: the hostile-input tests match thousands of lines. The
// map's nodes stay where they are, so each compiled pattern may be used in
// place for the rest of the run.
const regex_t& compiled(const std::string& pattern) {
  static std::map<std::string, regex_t> known;
  auto [found, added] = known.try_emplace(pattern);
  if (added) {
    int error = regcomp(&found->second, pattern.c_str(), REG_EXTENDED);
    if (error != 0) {
      char message[256];
      regerror(error, &found->second, message, sizeof message);
      known.erase(found);
      throw std::invalid_argument("not a pattern: " + pattern + ": " + message);
    }
  }
  return found->second;
}

// The leftmost, longest match of `expression` in text[from, end), with its
// groups; none when there is no match. The text is taken by its length, so
// a NUL in it ends nothing (though `.` matches no NUL).
std::vector<regmatch_t> match_from(const regex_t& expression, const std::string& text,
                                   std::size_t from) {
  std::vector<regmatch_t> groups(expression.re_nsub + 1);
  groups[0].rm_so = static_cast<regoff_t>(from);
  groups[0].rm_eo = static_cast<regoff_t>(text.size());
  if (regexec(&expression, text.data(), groups.size(), groups.data(), REG_STARTEND) != 0)
    groups.clear();
  return groups;
}

}  // namespace

bool matches_whole(const std::string& text, const std::string& pattern) {
  std::vector<regmatch_t> match = match_from(compiled(pattern), text, 0);
  return !match.empty() && match[0].rm_so == 0 &&
         static_cast<std::size_t>(match[0].rm_eo) == text.size();
}

std::vector<std::vector<std::string>> all_matches(const std::string& text,
                                                  const std::string& pattern) {
  std::vector<std::vector<std::string>> matches;
  for (std::size_t from = 0; from <= text.size();) {
    std::vector<regmatch_t> match = match_from(compiled(pattern), text, from);
    if (match.empty()) break;
    std::vector<std::string>& row = matches.emplace_back();
    for (const regmatch_t& group : match)
      row.push_back(group.rm_so < 0
                        ? ""
                        : text.substr(static_cast<std::size_t>(group.rm_so),
                                      static_cast<std::size_t>(group.rm_eo - group.rm_so)));
    std::size_t end = static_cast<std::size_t>(match[0].rm_eo);
    from = end > static_cast<std::size_t>(match[0].rm_so) ? end : end + 1;
  }
  return matches;
}

std::string report_problem(const std::string& error_text, int number) {
  if (matches_whole(error_text,
                    "Runtime error " + std::to_string(number) +
                        " at \\$([0-9A-F]{16})\r\n  \\$\\1\r\n(  \\$[0-9A-F]{16}\r\n){0,9}\r\n"))
    return "";
  return "not a report of error " + std::to_string(number) + ": [" + error_text + "]";
}

namespace {

// Tools whose name other programs share, and how their -version output starts.
std::string version_mark(const std::string& name) {
  return name == "convert" ? "Version: ImageMagick " : "";
}

bool prints_version_mark(const std::string& path, const std::string& mark) {
  if (mark.empty()) return true;
  TempDir folder;
  std::string text = folder.file("version.txt");
  if (shell("'" + path + "' -version > " + text + " 2>/dev/null") != 0) return false;
  Bytes version = read_file(text);
  return std::string(version.begin(), version.end()).starts_with(mark);
}

// The folders of PATH, then the usual ones.
std::vector<std::string> tool_folders() {
  std::vector<std::string> folders;
  const char* path = std::getenv("PATH");
  std::string rest = path != nullptr ? path : "";
  for (std::size_t end; !rest.empty(); rest.erase(0, end + 1)) {
    end = std::min(rest.find(':'), rest.size());
    if (end > 0) folders.push_back(rest.substr(0, end));
    if (end == rest.size()) break;
  }
  folders.insert(folders.end(), {"/usr/bin", "/bin", "/usr/local/bin"});
  return folders;
}

}  // namespace

std::string find_tool(const std::string& name) {
  for (const std::string& folder : tool_folders()) {
    std::string path = folder + "/" + name;
    if (access(path.c_str(), X_OK) == 0 && prints_version_mark(path, version_mark(name)))
      return path;
  }
  return "";
}

std::string program_for_other_users(const TempDir& folder) {
  for (std::filesystem::path at = folder.path; at != at.root_path(); at = at.parent_path()) {
    struct stat status;
    if (stat(at.c_str(), &status) != 0 || (status.st_mode & S_IXOTH) == 0) return "";
  }
  std::string copy = folder.file("quorvel");
  std::filesystem::copy_file(program_path(), copy);
  chmod(copy.c_str(), 0755);
  return copy;
}

int shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The test holds both ends, so that nothing waits; once the pipe is empty
// it lets go, and the reader's next read sees the end. A writer with nothing
// to write stays until the test is done: the reader waits for data.
Fifo::Fifo(const std::string& path, const Bytes& bytes, bool writer) {
  if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  if (!writer) return;
  both_ends = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (both_ends < 0 ||
      write(both_ends, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("cannot fill the FIFO");
  closer = std::thread([this, hold = bytes.empty()] {
    int waiting = 1;
    while (!done && (hold || waiting > 0) && ioctl(both_ends, FIONREAD, &waiting) == 0)
      usleep(10000);
    close(both_ends);
  });
}

Fifo::~Fifo() {
  done = true;
  if (closer.joinable()) closer.join();
}

}  // namespace testing_support
