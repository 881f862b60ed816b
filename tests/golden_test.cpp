// The golden cases: each file in tests/golden is one run of a program (a
// picture drawn as a grid, the command line, the status, and the exact
// console, output bytes and labels), so that a new case is a file, not code.
// The format is in tests/golden/README.md.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "support/png_builder.hpp"
#include "support/scenario.hpp"

namespace {

using namespace testing_support;

// A case file: "key: value" lines, and sections (a key alone) whose lines run
// to the next key. Lines starting with "#" before the first key describe it.
struct Case {
  std::map<std::string, std::string> values;
  std::map<std::string, std::vector<std::string>> sections;
};

const std::vector<std::string> section_names = {"pixels", "output", "stdout", "stdout-crlf",
                                                "stderr", "labels", "file"};

Case read_case(const std::string& path) {
  std::ifstream file(path);
  Case read;
  std::vector<std::string>* section = nullptr;
  for (std::string line; std::getline(file, line);) {
    std::size_t colon = line.find(": ");
    std::string key = line.ends_with(":") ? line.substr(0, line.size() - 1) : "";
    if (std::find(section_names.begin(), section_names.end(), key) != section_names.end()) {
      section = &read.sections[key];
    } else if (section != nullptr) {
      section->push_back(line);
    } else if (!line.starts_with("#") && colon != std::string::npos) {
      read.values[line.substr(0, colon)] = line.substr(colon + 2);
    }
  }
  return read;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> found;
  for (std::string word; in >> word;) found.push_back(word);
  return found;
}

// "colours: .=00000000 1=FF352879": each grid character's 0xAARRGGBB, for a PNG.
std::map<char, std::uint32_t> png_colours(const std::string& text) {
  std::map<char, std::uint32_t> colours;
  for (const std::string& entry : words(text))
    colours[entry[0]] = static_cast<std::uint32_t>(std::stoul(entry.substr(2), nullptr, 16));
  return colours;
}

// The picture the case draws: "picture: bmp 4" with a "palette:" as grid2bmp
// reads it, or "picture: png" with "colours:".
Bytes picture_of(const Case& c) {
  std::vector<std::string> kind = words(c.values.at("picture"));
  const std::vector<std::string>& rows = c.sections.at("pixels");
  if (kind[0] == "png") {
    std::map<char, std::uint32_t> colours = png_colours(c.values.at("colours"));
    PngPicture png{static_cast<int>(rows[0].size()), static_cast<int>(rows.size())};
    for (const std::string& row : rows)
      for (char pixel : row) png.pixels.push_back(colours.at(pixel));
    return encode_png(png);
  }
  std::vector<std::uint32_t> palette;
  if (c.values.count("palette"))
    for (const std::string& entry : words(c.values.at("palette")))
      palette.push_back(static_cast<std::uint32_t>(std::stoul(entry, nullptr, 16)));
  return encode_bmp({.bits = std::stoi(kind.at(1)), .pixels = grid(rows), .colours = palette});
}

std::string joined(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

Bytes hex_bytes(const std::vector<std::string>& lines) {
  Bytes bytes;
  for (const std::string& word : words(joined(lines, " ")))
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  return bytes;
}

std::string hex_text(const Bytes& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += std::string(i % 16 == 0 ? (i == 0 ? "" : "\n") : " ") + pair;
  }
  return text;
}

std::string program_named(const std::string& name) {
  if (name == "quorvel-check") return checker_path();
  if (name == "quorvel-sheet") return sheet_path();
  return program_path();
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  if (DIR* folder = opendir(QUORVEL_GOLDEN_DIR)) {
    while (dirent* entry = readdir(folder)) {
      std::string name = entry->d_name;
      if (name.ends_with(".case")) names.push_back(name.substr(0, name.size() - 5));
    }
    closedir(folder);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, GivesItsStatusConsoleAndFiles) {
  Case c = read_case(std::string(QUORVEL_GOLDEN_DIR) + "/" + GetParam() + ".case");
  TempDir folder;
  std::string picture_name = c.values.count("name") ? c.values.at("name") : "picture.bmp";
  write_file(folder.file(picture_name), picture_of(c));
  if (c.sections.count("file"))
    write_file(folder.file(c.values.at("file-name")), joined(c.sections["file"], "\n"));
  std::vector<std::string> run_words = words(c.values.at("run"));
  RunResult run =
      run_program(std::vector<std::string>(run_words.begin() + 1, run_words.end()),
                  {.working_directory = folder.path, .program = program_named(run_words[0])});
  EXPECT_EQ(run.status, std::stoi(c.values.at("status")));
  std::string out = c.sections.count("stdout-crlf") ? joined(c.sections["stdout-crlf"], "\r\n")
                                                    : joined(c.sections["stdout"], "\n");
  EXPECT_EQ(run.output, out);
  EXPECT_EQ(run.error, joined(c.sections["stderr"], "\n"));
  std::string output = c.values.count("output-file") ? c.values.at("output-file") : "out.bin";
  if (c.sections.count("output"))
    EXPECT_EQ(hex_text(file_exists(folder.file(output)) ? read_file(folder.file(output)) : Bytes{}),
              hex_text(hex_bytes(c.sections["output"])));
  else
    EXPECT_FALSE(file_exists(folder.file(output))) << output << " was written";
  if (c.sections.count("labels")) {
    Bytes labels = read_file(folder.file(c.values.at("labels-file")));
    EXPECT_EQ(std::string(labels.begin(), labels.end()), joined(c.sections["labels"], "\n"));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(case_names()),
                         [](const testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
