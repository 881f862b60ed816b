// A project's blocks laid out in one VIC bank, and what it writes beside
// them: the labels, the tables and the dependency file.
#include "sheet/project.hpp"

#include <algorithm>
#include <cctype>
#include <set>

#include "c64/arguments.hpp"
#include "c64/matcher.hpp"

namespace sheet {

namespace {

constexpr int bank_size = 0x4000;
constexpr int block_size = 64;

std::string span(int from, int to) {
  return c64::hex_address(from) + " to " + c64::hex_address(to - 1);
}

struct Taken {
  int from, to;
  const SpriteSet* set;
};

// Where a set's blocks go, or why they cannot.
MaybeProblem place_set(const SpriteSet& set, int start, int base, const std::vector<Taken>& taken) {
  int end = start + block_size * static_cast<int>(set.frames.size());
  std::string pinned = set.address ? ", pinned at " + c64::hex_address(start) + "," : "";
  if (start % block_size != 0)
    return Problem{set_title(set) + pinned +
                   " is not on a 64-byte boundary: a sprite pointer names the block of 64 bytes "
                   "at a multiple of 64 ($40)"};
  if (start < base)
    return Problem{set_title(set) + pinned + " lies before the project's address " +
                   c64::hex_address(base) + ", where the blocks file starts"};
  int bank = base / bank_size * bank_size;
  if (end > bank + bank_size)
    return Problem{set_title(set) + pinned + " takes " + span(start, end) +
                   ", which leaves the 16 KiB VIC bank of the project's address (" +
                   span(bank, bank + bank_size) +
                   "): a sprite pointer reaches only the blocks of its bank"};
  for (const Taken& other : taken)
    if (start < other.to && other.from < end)
      return Problem{set_title(set) + pinned + " takes " + span(start, end) + ", which lies on " +
                     set_title(*other.set) + " (" + span(other.from, other.to) +
                     "): give it another address, or leave its address out"};
  return {};
}

// The sets in the file's order, sheet by sheet.
std::vector<const SpriteSet*> sets_of(const Project& project) {
  std::vector<const SpriteSet*> sets;
  for (const ProjectSheet& sheet : project.sheets)
    for (const SpriteSet& set : sheet.sets) sets.push_back(&set);
  return sets;
}

std::string joined(const std::vector<int>& values) {
  std::string text;
  for (int value : values) text += (text.empty() ? "" : ", ") + std::to_string(value);
  return text;
}

// A file name as make reads it in a rule: spaces, # and : escaped, $ doubled.
std::string make_word(const std::string& name) {
  std::string word;
  for (std::size_t at = 0; at < name.size(); ++at) {
    char c = name[at];
    bool drive = c == ':' && at == 1 && std::isalpha(static_cast<unsigned char>(name[0]));
    if (c == ' ' || c == '#' || (c == ':' && !drive)) word += '\\';
    if (c == '$') word += '$';
    word += c;
  }
  return word;
}

}  // namespace

MaybeProblem lay_out(const Project& project, std::vector<int>& first_blocks) {
  int base = project.address.value_or(0);
  if (base % block_size != 0)
    return Problem{"address " + c64::hex_address(base) +
                   " is not on a 64-byte boundary: a sprite pointer names the block of 64 bytes "
                   "at a multiple of 64 ($40)"};
  std::vector<Taken> taken;
  int next = base;
  for (const SpriteSet* set : sets_of(project)) {
    int start = set->address.value_or(next);
    if (MaybeProblem problem = place_set(*set, start, base, taken)) return problem;
    next = start + block_size * static_cast<int>(set->frames.size());
    taken.push_back({start, next, set});
    first_blocks.push_back(start % bank_size / block_size);
  }
  return {};
}

std::vector<std::uint8_t> project_blocks(const Project& project, const std::vector<Made>& made) {
  int first = project.address.value_or(0) % bank_size / block_size, last = first;
  for (const Made& set : made)
    last = std::max(last, set.first_block + static_cast<int>(set.frames.size()));
  std::size_t start = project.address ? 2 : 0;
  std::vector<std::uint8_t> bytes(start + static_cast<std::size_t>((last - first) * block_size));
  if (project.address)
    bytes[0] = static_cast<std::uint8_t>(*project.address & 0xFF),
    bytes[1] = static_cast<std::uint8_t>(*project.address >> 8);
  for (const Made& set : made)
    for (std::size_t n = 0; n < set.frames.size(); ++n) {
      std::size_t at =
          start + static_cast<std::size_t>((set.first_block - first) * block_size) + n * block_size;
      std::copy(set.frames[n].sprite.begin(), set.frames[n].sprite.end(),
                bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
  return bytes;
}

std::vector<std::pair<std::string, int>> project_labels(const Project& project,
                                                        const std::vector<Made>& made) {
  std::vector<std::pair<std::string, int>> labels;
  for (const Made& set : made) {
    const std::string& name = set.set->name;
    for (std::size_t n = 0; n < set.frames.size(); ++n) {
      std::string frame = name + "_" + std::to_string(n);
      labels.emplace_back(frame, set.first_block + static_cast<int>(n));
      if (set.set->by_colour) labels.emplace_back(frame + "_colour", set.frames[n].colour);
      if (!set.set->object) continue;
      labels.emplace_back(frame + "_x", static_cast<int>(n) % set.set->columns * 24);
      labels.emplace_back(frame + "_y", static_cast<int>(n) / set.set->columns * 21);
    }
    labels.emplace_back(name + (set.set->object ? "_sprites" : "_frames"),
                        static_cast<int>(set.frames.size()));
    labels.emplace_back(name + "_multicolour", set.set->hires ? 0 : 1);
  }
  const std::pair<const char*, std::optional<int>> registers[] = {
      {"_background", project.background},
      {"_multicolour1", project.multicolour1},
      {"_multicolour2", project.multicolour2}};
  for (const auto& [name, colour] : registers)
    if (colour) labels.emplace_back(project.name + name, *colour);
  return labels;
}

std::string project_labels_text(const Project& project, const std::vector<Made>& made) {
  const ProjectSyntax& syntax = *project.syntax;
  std::string text = syntax.name == "c" ? "#pragma once\n" : "";
  for (const auto& [name, value] : project_labels(project, made))
    text += std::string(syntax.label_before) + name + std::string(syntax.label_between) +
            std::to_string(value) + "\n";
  return text;
}

std::vector<Table> project_tables(const std::vector<Made>& made) {
  std::vector<Table> tables;
  for (const Made& set : made) {
    std::vector<int> pointers, colours, xs, ys;
    for (std::size_t n = 0; n < set.frames.size(); ++n) {
      int at = static_cast<int>(n);
      pointers.push_back(set.first_block + at);
      colours.push_back(set.frames[n].colour);
      xs.push_back(at % set.set->columns * 24);
      ys.push_back(at / set.set->columns * 21);
    }
    const std::string& name = set.set->name;
    tables.push_back({name + "_pointers", pointers});
    if (set.set->by_colour) tables.push_back({name + "_colours", colours});
    if (!set.set->object) continue;
    tables.push_back({name + "_x", xs});
    tables.push_back({name + "_y", ys});
  }
  return tables;
}

MaybeProblem names_once(const Project& project, const std::vector<Made>& made) {
  std::vector<std::string> names;
  for (const auto& [name, value] : project_labels(project, made)) names.push_back(name);
  if (!project.tables.empty())
    for (const Table& table : project_tables(made)) names.push_back(table.name);
  std::set<std::string> seen;
  for (const std::string& name : names) {
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!seen.insert(folded).second)
      return Problem{"the label \"" + name +
                     "\" is made twice, by two names whose labels meet (such as objects \"a\" "
                     "and \"a_1\", both making a_1_x; assemblers such as 64tass read labels in "
                     "any letter case): rename one"};
  }
  return {};
}

std::string project_tables_text(const Project& project, const std::vector<Made>& made) {
  const ProjectSyntax& syntax = *project.syntax;
  std::string text = syntax.name == "c" ? "#pragma once\n" : "";
  for (const Table& table : project_tables(made))
    text += std::string(syntax.table_before) + table.name + std::string(syntax.table_between) +
            joined(table.values) + std::string(syntax.table_after) + "\n";
  return text;
}

std::string dependency_text(const Project& project) {
  std::vector<std::string> inputs = {project.file};
  for (const ProjectSheet& sheet : project.sheets)
    if (std::find(inputs.begin(), inputs.end(), sheet.options.picture) == inputs.end())
      inputs.push_back(sheet.options.picture);
  // a palette file read is an input too; a published palette is the program's own
  if (!project.palette.empty() && c64::palette_named(project.palette) == nullptr)
    inputs.push_back(project.palette);
  std::string targets;
  for (const std::string* name : {&project.output, &project.labels, &project.tables})
    if (!name->empty()) targets += (targets.empty() ? "" : " ") + make_word(*name);
  std::string text = targets + ":";
  for (const std::string& input : inputs) text += " " + make_word(input);
  text += "\n";
  // a rule of its own for each input, so that make goes on when one is gone
  for (const std::string& input : inputs) text += "\n" + make_word(input) + ":\n";
  return text;
}

}  // namespace sheet
