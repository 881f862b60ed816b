// The project file read: TOML through toml++, each key checked against the
// keys of its table, each value read as the command line reads its option.
#include <algorithm>
#include <cctype>
#include <map>

#include "c64/arguments.hpp"
#include "c64/matcher.hpp"
#include "sheet/project.hpp"

namespace sheet {

bool names_a_project(const std::vector<std::string>& files) {
  if (files.size() != 1 || files[0].size() < 5) return false;
  std::string end = files[0].substr(files[0].size() - 5);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".toml";
}

}  // namespace sheet

#ifndef QUORVEL_TOML
// Built without toml++: a project file is refused, with what is missing.
sheet::MaybeProblem sheet::read_project(std::string_view, Project& project) {
  return Problem{(project.shown.empty() ? project.file : project.shown) +
                 ": this quorvel-sheet was built without toml++ (Debian package "
                 "libtomlplusplus-dev) and reads no project file"};
}
#else
// The parser reports by its result, not by exceptions (the WebAssembly builds
// have none); no Windows wide-string adapters, no writers.
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#define TOML_ENABLE_WINDOWS_COMPAT 0
#include <toml.h>

namespace sheet {

namespace {

int line_at(const toml::node& node) {
  return static_cast<int>(node.source().begin.line);
}
int line_at(const toml::key& key) {
  return static_cast<int>(key.source().begin.line);
}

// A key and where it stands, for messages: "game.toml, line 7: ".
struct Place {
  const Project& project;
  std::string at(int line) const { return project.shown + ", line " + std::to_string(line) + ": "; }
};

// Letters a word takes to become another: the nearest known key.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A table's keys that none of `known` names; the first of them, by line.
MaybeProblem unknown_keys(const Place& place, const toml::table& table,
                          std::initializer_list<std::string_view> known, std::string_view where) {
  const toml::key* first = nullptr;
  for (auto&& [key, node] : table)
    if (std::find(known.begin(), known.end(), key.str()) == known.end() &&
        (first == nullptr || line_at(key) < line_at(*first)))
      first = &key;
  if (first == nullptr) return {};
  std::string_view nearest = *std::min_element(known.begin(), known.end(), [&](auto a, auto b) {
    return distance(first->str(), a) < distance(first->str(), b);
  });
  return Problem{place.at(line_at(*first)) + "there is no key \"" + std::string(first->str()) +
                 "\" in " + std::string(where) + " (the nearest is \"" + std::string(nearest) +
                 "\")"};
}

// A value as the command line would give it: a text as it is, a whole
// number in decimal; an address's number only in hex (0x2000), since the
// command line reads "2000" as hex.
MaybeProblem text_of(const Place& place, std::string_view key, const toml::node& node,
                     std::string& text, bool address = false) {
  int line = line_at(node);
  if (const toml::value<std::string>* string = node.as_string()) {
    text = string->get();
    return {};
  }
  if (const toml::value<std::int64_t>* integer = node.as_integer()) {
    bool hex =
        (integer->flags() & toml::value_flags::format_as_hexadecimal) != toml::value_flags::none;
    if (address && !hex)
      return Problem{place.at(line) + std::string(key) +
                     " takes an address in hex, \"2000\" or 0x2000: a plain number is decimal"};
    std::int64_t value = integer->get();
    if (value < 0 || value > 0xFFFF)
      return Problem{place.at(line) + std::string(key) + " " + std::to_string(value) +
                     " is out of range"};
    if (!address) {
      text = std::to_string(value);
      return {};
    }
    text = c64::hex_address(static_cast<int>(value)).substr(1);
    return {};
  }
  return Problem{place.at(line) + std::string(key) + " takes a text, such as " +
                 (address ? "\"2000\"" : "\"32x32\"")};
}

// A required value.
MaybeProblem required(const Place& place, const toml::table& table, std::string_view key,
                      std::string_view where, int line, std::string& text) {
  const toml::node* node = table.get(key);
  if (node == nullptr)
    return Problem{place.at(line) + std::string(where) + " needs " + std::string(key)};
  return text_of(place, key, *node, text);
}

// An optional value; nothing where it is not given.
MaybeProblem optional_text(const Place& place, const toml::table& table, std::string_view key,
                           std::optional<std::string>& text, bool address = false) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return {};
  text.emplace();
  return text_of(place, key, *node, *text, address);
}

// An option's problem said of the key: "--cell takes ..." as "cell takes ...".
MaybeProblem option_value(const Place& place, int line, std::string_view key,
                          const std::string& option, const std::string& value, Options& options) {
  MaybeProblem problem = read_option(option, value, options);
  if (!problem) return {};
  std::string text = problem->text;
  if (text.starts_with(option)) text.replace(0, option.size(), key);
  return Problem{place.at(line) + text};
}

int line_of(const toml::table& table, std::string_view key) {
  const toml::node* node = table.get(key);
  return node ? line_at(*node) : line_at(table);
}

// A name written relative to the project file's folder, as it is opened.
std::string beside(const Project& project, const std::string& name) {
  bool absolute =
      name.starts_with('/') || name.starts_with('\\') || (name.size() > 1 && name[1] == ':');
  return absolute ? name : project.folder + name;
}

// Letters, digits and _, a letter first: every assembler and C take it.
bool label_name(const std::string& name) {
  return !name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
         });
}

MaybeProblem read_mode(const Place& place, const toml::table& table, Options::Mode& mode) {
  std::optional<std::string> text;
  if (MaybeProblem problem = optional_text(place, table, "mode", text)) return problem;
  if (!text) return {};
  if (*text == "hires" || *text == "multicolour") {
    mode = *text == "hires" ? Options::Mode::hires : Options::Mode::multicolour;
    return {};
  }
  return Problem{place.at(line_of(table, "mode")) +
                 "mode takes \"multicolour\" or \"hires\", not \"" + *text + "\""};
}

MaybeProblem read_set(const Place& place, const toml::table& table, bool object, SpriteSet& set) {
  set.object = object;
  set.line = line_at(table);
  std::string_view where = object ? "[[sheet.object]]" : "[[sheet.animation]]";
  if (MaybeProblem problem =
          object ? unknown_keys(place, table, {"name", "cells", "layout", "mode", "address"}, where)
                 : unknown_keys(place, table, {"name", "cells", "mode", "address"}, where))
    return problem;
  if (MaybeProblem problem = required(place, table, "name", where, set.line, set.name))
    return problem;
  if (!label_name(set.name))
    return Problem{place.at(line_of(table, "name")) + "name \"" + set.name +
                   "\" is no label name the assemblers take: letters, digits and _, a letter "
                   "first"};
  if (MaybeProblem problem = required(place, table, "cells", where, set.line, set.cells))
    return problem;
  if (MaybeProblem problem = read_mode(place, table, set.mode)) return problem;
  std::optional<std::string> address;
  if (MaybeProblem problem = optional_text(place, table, "address", address, true)) return problem;
  if (address) set.address = c64::load_address(*address).value_or(-1);
  if (set.address == -1)
    return Problem{place.at(line_of(table, "address")) +
                   "address \"none\" pins nothing: leave the key out"};
  if (set.address && !place.project.address)
    return Problem{place.at(line_of(table, "address")) + set.name + " is pinned at " +
                   c64::hex_address(*set.address) +
                   ", but the project has no address: give address = \"...\" at its top"};
  if (!object) return {};
  std::string layout;
  if (MaybeProblem problem = required(place, table, "layout", where, set.line, layout))
    return problem;
  std::size_t by = layout.find('x');
  auto count = [](const std::string& digits) {
    bool whole =
        !digits.empty() && digits.size() <= 2 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    return whole ? std::stoi(digits) : 0;
  };
  set.columns = by == std::string::npos ? 0 : count(layout.substr(0, by));
  set.rows = by == std::string::npos ? 0 : count(layout.substr(by + 1));
  if (set.columns == 0 || set.rows == 0)
    return Problem{place.at(line_of(table, "layout")) +
                   "layout takes COLUMNSxROWS, such as 2x2, not \"" + layout + "\""};
  // each sprite's offset from the object's top left fits in a byte of the tables
  if (set.columns > 10 || set.rows > 12)
    return Problem{place.at(line_of(table, "layout")) + "layout " + layout +
                   " is wider than 10 sprites or taller than 12: an offset from the object's top "
                   "left must fit in a byte"};
  return {};
}

// The sets of one sheet's array ("animation" or "object").
MaybeProblem read_sets(const Place& place, const toml::table& table, std::string_view key,
                       ProjectSheet& sheet) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return {};
  const toml::array* array = node->as_array();
  if (array == nullptr || !array->is_array_of_tables())
    return Problem{place.at(line_at(*node)) + "write each " + std::string(key) + " as [[sheet." +
                   std::string(key) + "]]"};
  for (const toml::node& element : *array) {
    SpriteSet set;
    if (MaybeProblem problem = read_set(place, *element.as_table(), key == "object", set))
      return problem;
    sheet.sets.push_back(set);
  }
  return {};
}

// A sheet's options, from its keys and the project's registers and palette.
MaybeProblem read_sheet(const Place& place, const toml::table& table, ProjectSheet& sheet) {
  const Project& project = place.project;
  sheet.line = line_at(table);
  if (MaybeProblem problem = unknown_keys(
          place, table,
          {"picture", "cell", "origin", "spacing", "mode", "codes", "animation", "object"},
          "[[sheet]]"))
    return problem;
  std::string picture;
  if (MaybeProblem problem = required(place, table, "picture", "[[sheet]]", sheet.line, picture))
    return problem;
  sheet.options.picture = beside(project, picture);
  for (std::string_view key : {"cell", "origin", "spacing", "codes"}) {
    std::optional<std::string> value;
    if (MaybeProblem problem = optional_text(place, table, key, value)) return problem;
    if (value)
      if (MaybeProblem problem = option_value(place, line_of(table, key), key,
                                              "--" + std::string(key), *value, sheet.options))
        return problem;
  }
  if (MaybeProblem problem = read_mode(place, table, sheet.options.mode)) return problem;
  if (!sheet.options.codes) {
    sheet.options.background = project.background;
    sheet.options.multicolour1 = project.multicolour1;
    sheet.options.multicolour2 = project.multicolour2;
    sheet.options.palette = project.palette;
  }
  if (MaybeProblem problem = read_sets(place, table, "animation", sheet)) return problem;
  if (MaybeProblem problem = read_sets(place, table, "object", sheet)) return problem;
  // in the file's order, animations and objects as they come
  std::stable_sort(sheet.sets.begin(), sheet.sets.end(),
                   [](const SpriteSet& a, const SpriteSet& b) { return a.line < b.line; });
  if (sheet.sets.empty())
    return Problem{place.at(sheet.line) + "the sheet of \"" + picture +
                   "\" has no [[sheet.animation]] and no [[sheet.object]]: name its sprites"};
  return {};
}

MaybeProblem read_registers(const Place& place, const toml::table& top, Project& project) {
  const toml::node* node = top.get("registers");
  if (node == nullptr) return {};
  const toml::table* table = node->as_table();
  if (table == nullptr)
    return Problem{place.at(line_at(*node)) + "write the registers as [registers]"};
  if (MaybeProblem problem = unknown_keys(
          place, *table, {"background", "multicolour1", "multicolour2"}, "[registers]"))
    return problem;
  Options registers;
  for (std::string_view key : {"background", "multicolour1", "multicolour2"}) {
    std::optional<std::string> value;
    if (MaybeProblem problem = optional_text(place, *table, key, value)) return problem;
    if (value)
      if (MaybeProblem problem = option_value(place, line_of(*table, key), key,
                                              "--" + std::string(key), *value, registers))
        return problem;
  }
  project.background = registers.background;
  project.multicolour1 = registers.multicolour1;
  project.multicolour2 = registers.multicolour2;
  int line = line_at(*table);
  if (!project.background && (project.multicolour1 || project.multicolour2))
    return Problem{place.at(line) + "[registers] needs background"};
  std::vector<int> given;
  for (const std::optional<int>& colour :
       {project.background, project.multicolour1, project.multicolour2})
    if (colour) given.push_back(*colour);
  std::sort(given.begin(), given.end());
  if (std::adjacent_find(given.begin(), given.end()) != given.end())
    return Problem{place.at(line) + "each register needs a colour of its own"};
  return {};
}

// output, labels, tables and dependencies: names relative to the project file.
MaybeProblem read_outputs(const Place& place, const toml::table& top, Project& project) {
  std::string output;
  if (MaybeProblem problem = required(place, top, "output", "the project", 1, output))
    return problem;
  project.output = beside(project, output);
  const std::pair<std::string_view, std::string*> others[] = {
      {"labels", &project.labels},
      {"tables", &project.tables},
      {"dependencies", &project.dependencies}};
  for (const auto& [key, name] : others) {
    std::optional<std::string> value;
    if (MaybeProblem problem = optional_text(place, top, key, value)) return problem;
    if (value && value->empty())
      return Problem{place.at(line_of(top, key)) + std::string(key) + " takes a file name"};
    if (value) *name = beside(project, *value);
  }
  if (output.empty()) return Problem{place.at(line_of(top, "output")) + "output takes a file name"};
  return {};
}

MaybeProblem read_syntax(const Place& place, const toml::table& top, Project& project) {
  std::optional<std::string> value;
  if (MaybeProblem problem = optional_text(place, top, "syntax", value)) return problem;
  if (!value) return {};
  std::string names;
  for (const ProjectSyntax& syntax : project_syntaxes) {
    if (syntax.name == *value) {
      project.syntax = &syntax;
      return {};
    }
    names += (names.empty() ? "" : ", ") + std::string(syntax.name);
  }
  return Problem{place.at(line_of(top, "syntax")) + "syntax takes " + names + ", not \"" + *value +
                 "\""};
}

MaybeProblem read_top(const Place& place, const toml::table& top, Project& project) {
  if (MaybeProblem problem = unknown_keys(place, top,
                                          {"output", "address", "labels", "tables", "dependencies",
                                           "syntax", "name", "palette", "registers", "sheet"},
                                          "the project"))
    return problem;
  if (MaybeProblem problem = read_outputs(place, top, project)) return problem;
  std::optional<std::string> address, name, palette;
  if (MaybeProblem problem = optional_text(place, top, "address", address, true)) return problem;
  if (address) project.address = c64::load_address(*address);
  if (MaybeProblem problem = read_syntax(place, top, project)) return problem;
  if (MaybeProblem problem = optional_text(place, top, "name", name)) return problem;
  project.name = name ? *name : label_prefix(project.file);
  if (!label_name(project.name))
    return Problem{place.at(line_of(top, "name")) + "the project's name \"" + project.name + "\"" +
                   (name ? "" : " (from the file's name)") +
                   " is no label name the assemblers take: give name = \"...\" with letters, "
                   "digits and _, a letter first"};
  if (MaybeProblem problem = optional_text(place, top, "palette", palette)) return problem;
  // a published palette by its name, else a palette file beside the project
  project.palette = palette.value_or("");
  if (!project.palette.empty() && c64::palette_named(project.palette) == nullptr)
    project.palette = beside(project, project.palette);
  if (MaybeProblem problem = read_registers(place, top, project)) return problem;
  if (!project.palette.empty() && !project.background)
    return Problem{place.at(line_of(top, "palette")) +
                   "palette reads colours by C64 colour: give [registers] background too"};
  return {};
}

// Each set's name once, in any letter case (64tass reads labels so).
MaybeProblem names_once(const Place& place, const Project& project) {
  std::map<std::string, const SpriteSet*> seen;
  for (const ProjectSheet& sheet : project.sheets)
    for (const SpriteSet& set : sheet.sets) {
      std::string folded = set.name;
      for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      auto [it, fresh] = seen.emplace(folded, &set);
      if (!fresh)
        return Problem{place.at(static_cast<int>(set.line)) + "the name \"" + set.name +
                       "\" is used twice (also at line " + std::to_string(it->second->line) +
                       "; assemblers such as 64tass read names in any letter case)"};
    }
  return {};
}

}  // namespace

MaybeProblem read_project(std::string_view text, Project& project) {
  Place place{project};
  if (project.shown.empty()) project.shown = project.file;
  std::size_t slash = project.file.find_last_of("/\\");
  project.folder = slash == std::string::npos ? "" : project.file.substr(0, slash + 1);
  toml::parse_result result = toml::parse(text, std::string_view(project.file));
  if (!result) {
    const toml::parse_error& error = result.error();
    std::string at = place.at(static_cast<int>(error.source().begin.line));
    return Problem{at.substr(0, at.size() - 2) + ", column " +
                   std::to_string(error.source().begin.column) + ": " +
                   std::string(error.description())};
  }
  const toml::table& top = result.table();
  if (MaybeProblem problem = read_top(place, top, project)) return problem;
  const toml::node* sheets = top.get("sheet");
  const toml::array* array = sheets ? sheets->as_array() : nullptr;
  if (sheets && (array == nullptr || !array->is_array_of_tables()))
    return Problem{place.at(line_at(*sheets)) + "write each sheet as [[sheet]]"};
  if (array == nullptr || array->empty())
    return Problem{project.shown + ": the project has no [[sheet]]"};
  for (const toml::node& element : *array) {
    ProjectSheet sheet;
    if (MaybeProblem problem = read_sheet(place, *element.as_table(), sheet)) return problem;
    project.sheets.push_back(sheet);
  }
  return names_once(place, project);
}

}  // namespace sheet
#endif
