#include "support/scenario.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

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
  result.run = run_program(arguments, {.working_directory = folder.path});
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

std::string report_problem(const std::string& error_text, int number) {
  std::regex format("Runtime error " + std::to_string(number) +
                    " at \\$([0-9A-F]{16})\r\n  \\$\\1\r\n(  \\$[0-9A-F]{16}\r\n){0,9}\r\n");
  if (std::regex_match(error_text, format)) return "";
  return "not a report of error " + std::to_string(number) + ": [" + error_text + "]";
}

std::string find_tool(const std::string& name) {
  for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
    std::string path = folder + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return "";
}

int shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
