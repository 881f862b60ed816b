// Reads the palette files of the common kinds, line by line or byte by byte.
#include "c64/palette_files.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

namespace c64 {

namespace {

using companion::MaybeProblem;
using companion::Problem;

std::string lower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> found;
  std::size_t at = 0;
  while (at < line.size()) {
    std::size_t start = line.find_first_not_of(" \t\r", at);
    if (start == std::string_view::npos) break;
    std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
    found.push_back(line.substr(start, end - start));
    at = end;
  }
  return found;
}

// A number 0 to 255 written in `base`, the whole word.
bool channel(std::string_view word, int base, std::uint32_t& value) {
  unsigned parsed = 0;
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), parsed, base);
  if (error != std::errc() || end != word.data() + word.size() || parsed > 255) return false;
  value = value << 8 | parsed;
  return true;
}

// One colour from the words of a line, or why it is none.
using LineReader = bool (*)(const std::vector<std::string_view>& words, std::uint32_t& rgb);

bool vice_line(const std::vector<std::string_view>& w, std::uint32_t& rgb) {
  // red, green, blue in hex, and the dither VICE adds
  return (w.size() == 3 || w.size() == 4) && channel(w[0], 16, rgb) && channel(w[1], 16, rgb) &&
         channel(w[2], 16, rgb);
}

bool gimp_line(const std::vector<std::string_view>& w, std::uint32_t& rgb) {
  // red, green, blue in decimal, then the colour's name, if any
  return w.size() >= 3 && channel(w[0], 10, rgb) && channel(w[1], 10, rgb) &&
         channel(w[2], 10, rgb);
}

bool hex_line(const std::vector<std::string_view>& w, std::uint32_t& rgb) {
  if (w.size() != 1) return false;
  std::string_view hex = w[0].starts_with('#') ? w[0].substr(1) : w[0];
  return hex.size() == 6 && channel(hex.substr(0, 2), 16, rgb) &&
         channel(hex.substr(2, 2), 16, rgb) && channel(hex.substr(4, 2), 16, rgb);
}

struct TextKind {
  std::string_view extension;
  LineReader read;
  std::string_view form;  // what a colour line holds, for the message
  bool header;            // GIMP's: "GIMP Palette", then "Name:" and "Columns:" lines
  bool comments;          // lines starting with # are comments (in a .hex, # starts a colour)
};

constexpr TextKind text_kinds[] = {
    {".vpl", vice_line, "red, green and blue in hex, such as 6C 5E B5 0", false, true},
    {".gpl", gimp_line, "red, green and blue 0 to 255, such as 108 94 181 light blue", true, true},
    {".hex", hex_line, "one colour in hex, such as 6C5EB5", false, false},
};

std::string at_line(std::string_view name, int line) {
  return std::string(name) + ", line " + std::to_string(line) + ": ";
}

MaybeProblem read_text(std::string_view name, std::string_view text, const TextKind& kind,
                       Palette& palette) {
  std::size_t entries = 0;
  int number = 0;
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    std::vector<std::string_view> w = words(line);
    if (w.empty() || (kind.comments && w[0].starts_with('#'))) continue;
    if (kind.header && number == 1) {
      if (line.starts_with("GIMP Palette")) continue;
      return Problem{at_line(name, 1) + "a GIMP palette starts with \"GIMP Palette\""};
    }
    if (kind.header && (w[0] == "Name:" || w[0] == "Columns:")) continue;
    std::uint32_t rgb = 0;
    if (!kind.read(w, rgb))
      return Problem{at_line(name, number) + "\"" + std::string(line.substr(0, 40)) +
                     "\" is no colour: a line holds " + std::string(kind.form)};
    if (entries < palette.rgb.size()) palette.rgb[entries] = rgb;
    ++entries;
  }
  if (entries < palette.rgb.size() || (entries > palette.rgb.size() && !kind.header))
    return Problem{std::string(name) + ": it holds " + std::to_string(entries) +
                   " colours, not the C64's 16 (black, white, red, ... light grey, in that order)"};
  return {};
}

// Photoshop's: 256 colours of red, green and blue; in a file of 772 bytes,
// then the count of colours used and the transparent one, big-endian.
MaybeProblem read_act(std::string_view name, const std::vector<std::uint8_t>& bytes,
                      Palette& palette) {
  if (bytes.size() != 768 && bytes.size() != 772)
    return Problem{std::string(name) + ": a Photoshop palette has 768 or 772 bytes, not " +
                   std::to_string(bytes.size())};
  if (bytes.size() == 772) {
    int count = bytes[768] << 8 | bytes[769];
    if (count < 16)
      return Problem{std::string(name) + ": it holds " + std::to_string(count) +
                     " colours, not the C64's 16"};
  }
  for (std::size_t n = 0; n < palette.rgb.size(); ++n)
    palette.rgb[n] =
        std::uint32_t{bytes[3 * n]} << 16 | std::uint32_t{bytes[3 * n + 1]} << 8 | bytes[3 * n + 2];
  return {};
}

}  // namespace

MaybeProblem read_palette_file(std::string_view name, const std::vector<std::uint8_t>& bytes,
                               Palette& palette) {
  palette.name = name;
  std::string lowered = lower(name);
  if (lowered.ends_with(".act")) return read_act(name, bytes, palette);
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (const TextKind& kind : text_kinds)
    if (lowered.ends_with(kind.extension)) return read_text(name, text, kind, palette);
  return Problem{std::string(name) +
                 ": a palette file is a .vpl (VICE), .gpl (GIMP), .act (Photoshop) or .hex "
                 "(16 hex colours) file"};
}

}  // namespace c64
