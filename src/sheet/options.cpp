// quorvel-sheet's command line: its options, read one at a time, and the list of frames.
#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

#include "c64/arguments.hpp"
#include "services/text.hpp"
#include "sheet/sheet.hpp"

namespace sheet {

namespace {

// A whole number of at most five digits, or nullopt.
std::optional<int> small_number(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoi(text);
}

// "24x21" or "3,2": two numbers with `between` between them.
bool read_pair(const std::string& text, char between, int& first, int& second) {
  std::size_t at = text.find(between);
  if (at == std::string::npos) return false;
  std::optional<int> one = small_number(text.substr(0, at));
  std::optional<int> other = small_number(text.substr(at + 1));
  if (!one || !other) return false;
  first = *one;
  second = *other;
  return true;
}

// The codes of indices 0 to 3, each read as quorvel reads a colour argument.
MaybeProblem read_codes(const std::string& text, std::array<std::uint8_t, 4>& codes) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    std::size_t end = i < 3 ? text.find(',', start) : text.size();
    if (end == std::string::npos || (i == 3 && text.find(',', start) != std::string::npos))
      return Problem{"--codes takes four codes, such as 0,1,2,3"};
    std::string code = cut_text(text.substr(start, end - start));
    ColourReading reading = read_colour(code);
    bool zero = reading.kind == ColourReading::negative && reading.value == 0;
    if ((reading.kind != ColourReading::number && !zero) || reading.value > 3)
      return Problem{
          "--codes takes codes 0 to 3 (0 the background, 1 multicolour 1, 2 the sprite "
          "colour, 3 multicolour 2), not \"" +
          code + "\""};
    codes[i] = colour_number(code);
    start = end + 1;
  }
  return {};
}

using Reader = MaybeProblem (*)(const std::string& value, Options& options);

MaybeProblem read_cell(const std::string& value, Options& options) {
  if (!read_pair(value, 'x', options.cell_width, options.cell_height))
    return Problem{"--cell takes WIDTHxHEIGHT, such as 24x21 or 32x32"};
  if (options.cell_width < 24 || options.cell_height < 21)
    return Problem{"--cell " + value + " is smaller than a sprite, 24x21"};
  return {};
}

MaybeProblem read_origin(const std::string& value, Options& options) {
  if (read_pair(value, ',', options.origin_x, options.origin_y)) return {};
  return Problem{"--origin takes X,Y, such as 0,0"};
}

MaybeProblem read_spacing(const std::string& value, Options& options) {
  if (read_pair(value, ',', options.spacing_x, options.spacing_y)) return {};
  return Problem{"--spacing takes X,Y, such as 1,1"};
}

MaybeProblem read_frames_option(const std::string& value, Options& options) {
  options.frames = value;
  if (!value.empty()) return {};
  return Problem{"--frames takes a list of cells, such as 0-3,6"};
}

MaybeProblem read_register(const std::string& option, const std::string& value,
                           std::optional<int>& colour) {
  colour = c64::colour_number_of(value);
  if (colour) return {};
  return Problem{option + " takes a C64 colour, 0 to 15 or a name such as light-blue, not \"" +
                 value + "\""};
}

MaybeProblem read_background(const std::string& value, Options& options) {
  return read_register("--background", value, options.background);
}
MaybeProblem read_multicolour1(const std::string& value, Options& options) {
  return read_register("--multicolour1", value, options.multicolour1);
}
MaybeProblem read_multicolour2(const std::string& value, Options& options) {
  return read_register("--multicolour2", value, options.multicolour2);
}

MaybeProblem read_codes_option(const std::string& value, Options& options) {
  std::array<std::uint8_t, 4> codes{};
  MaybeProblem problem = read_codes(value, codes);
  if (!problem) options.codes = codes;
  return problem;
}

// Read as quorvel reads its start address; "none" in any letter case for none.
MaybeProblem read_address(const std::string& value, Options& options) {
  options.address = c64::load_address(value);
  return {};
}

MaybeProblem read_labels(const std::string& value, Options& options) {
  options.labels = value;
  if (!value.empty()) return {};
  return Problem{"--labels takes a file name"};
}

MaybeProblem read_syntax(const std::string& value, Options& options) {
  std::string names;
  for (const Syntax& syntax : syntaxes) {
    if (syntax.name == value) {
      options.syntax = &syntax;
      return {};
    }
    names += (names.empty() ? "" : " or ") + std::string(syntax.name);
  }
  return Problem{"--labels-syntax takes " + names};
}

// A published palette by its name, or a palette file (read with the picture).
MaybeProblem read_palette(const std::string& value, Options& options) {
  options.palette = value;
  if (!value.empty()) return {};
  return Problem{"--palette takes a palette's name, such as pepto or colodore, or a palette file"};
}

MaybeProblem read_format(const std::string& value, Options& options) {
  std::optional<companion::Format> format = companion::format_named(value);
  if (!format) return Problem{"--format takes text or json"};
  options.format = *format;
  return {};
}

MaybeProblem read_name(const std::string& value, Options& options) {
  bool valid = !value.empty() && !std::isdigit(static_cast<unsigned char>(value[0])) &&
               std::all_of(value.begin(), value.end(), [](char c) {
                 return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
               });
  options.name = value;
  if (valid) return {};
  return Problem{"--name takes a label name: letters, digits and _, not a digit first"};
}

const std::map<std::string, Reader> with_value = {
    {"--cell", read_cell},
    {"--origin", read_origin},
    {"--spacing", read_spacing},
    {"--frames", read_frames_option},
    {"--background", read_background},
    {"--multicolour1", read_multicolour1},
    {"--multicolour2", read_multicolour2},
    {"--codes", read_codes_option},
    {"--address", read_address},
    {"--labels", read_labels},
    {"--labels-syntax", read_syntax},
    {"--name", read_name},
    {"--format", read_format},
    {"--palette", read_palette},
};

MaybeProblem read_switch(const std::string& option, Options& options) {
  if (option == "--hires" || option == "--multicolour") {
    Options::Mode mode = option == "--hires" ? Options::Mode::hires : Options::Mode::multicolour;
    if (options.mode != Options::Mode::unset && options.mode != mode)
      return Problem{"--hires and --multicolour exclude each other"};
    options.mode = mode;
  } else if (option == "--help") {
    options.help = true;
  } else if (option == "--version") {
    options.version = true;
  } else {
    return Problem{"there is no option " + option + " (quorvel-sheet --help lists them)"};
  }
  return {};
}

// What the options say together.
MaybeProblem options_problem(const Options& options) {
  bool by_colour = options.background || options.multicolour1 || options.multicolour2;
  if (by_colour && options.codes)
    return Problem{"give colours by C64 colour or by --codes, not both"};
  if (by_colour && !options.background) return Problem{"colours by C64 colour need --background"};
  if (options.mode == Options::Mode::hires && (options.multicolour1 || options.multicolour2))
    return Problem{"a hires sprite has no multicolour registers: give --background alone"};
  if (!options.palette.empty() && !options.background)
    return Problem{"--palette reads colours by C64 colour: give --background too"};
  for (const std::string& name : {options.outname, options.labels})
    if (options.format == companion::Format::json && name == "-")
      return Problem{
          "--format json writes its document to standard output: give a file's name "
          "for the blocks and the labels, not -"};
  std::vector<int> given;
  for (const std::optional<int>& colour :
       {options.background, options.multicolour1, options.multicolour2})
    if (colour) given.push_back(*colour);
  std::sort(given.begin(), given.end());
  if (std::adjacent_find(given.begin(), given.end()) != given.end())
    return Problem{"each register needs a colour of its own"};
  return {};
}

}  // namespace

MaybeProblem read_option(const std::string& option, const std::string& value, Options& options) {
  auto reader = with_value.find(option);
  if (reader == with_value.end()) return Problem{"there is no option " + option};
  return reader->second(value, options);
}

MaybeProblem read_options(const std::vector<std::string>& arguments, Options& options) {
  std::vector<std::string> files;
  std::string other;  // the first option besides --format
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string word = arguments[i];
    if (!word.starts_with("--") || files.size() == 2 || word == "--") {
      if (word == "--" && files.empty() && i + 1 < arguments.size()) word = arguments[++i];
      files.push_back(word);
      continue;
    }
    std::size_t equals = word.find('=');
    std::string option = word.substr(0, equals);
    auto reader = with_value.find(option);
    if (reader == with_value.end()) {
      if (equals != std::string::npos)
        return Problem{"there is no option " + word + " (quorvel-sheet --help lists them)"};
      if (MaybeProblem problem = read_switch(option, options)) return problem;
      continue;
    }
    if (equals == std::string::npos && i + 1 == arguments.size())
      return Problem{option + " needs a value"};
    if (option != "--format" && other.empty()) other = option;
    std::string value = equals != std::string::npos ? word.substr(equals + 1) : arguments[++i];
    if (MaybeProblem problem = reader->second(value, options)) return problem;
  }
  if (options.help || options.version) return {};
  if (names_a_project(files)) {
    options.project = files[0];
    if (other.empty() && options.mode == Options::Mode::unset) return {};
    return Problem{"a project file takes no option but --format, not " +
                   (other.empty() ? std::string("--hires or --multicolour") : other) +
                   ": its keys say the rest"};
  }
  if (files.size() != 2) return Problem{"give a picture and an output name (quorvel-sheet --help)"};
  options.picture = files[0];
  options.outname = files[1];
  return options_problem(options);
}

MaybeProblem read_frames(const std::string& text, int cells, std::vector<int>& frames) {
  frames.clear();
  if (text.empty()) {
    for (int cell = 0; cell < cells; ++cell) frames.push_back(cell);
    return {};
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = std::min(text.find(',', start), text.size());
    std::string item = text.substr(start, end - start);
    int first = 0, last = 0;
    std::optional<int> single = small_number(item);
    if (single)
      first = last = *single;
    else if (!read_pair(item, '-', first, last) || first > last)
      return Problem{"--frames takes cell numbers and ranges, such as 0-3,6, not \"" + item + "\""};
    if (last >= cells)
      return Problem{"--frames names cell " + std::to_string(last) + ", but the picture holds " +
                     std::to_string(cells) + (cells == 1 ? " cell" : " cells") + " (0 to " +
                     std::to_string(cells - 1) + ")"};
    for (int cell = first; cell <= last; ++cell) frames.push_back(cell);
    start = end + 1;
  }
  return {};
}

}  // namespace sheet
