// quorvel-sheet PROJECT.toml: every sheet of the project read, planned and
// checked cell by cell, the blocks laid out, and the blocks, labels, tables and
// dependency file written whole, or nothing.
#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <set>

#include "c64/matcher.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"
#include "sheet/project.hpp"
#include "sheet/run.hpp"

namespace sheet {

namespace {

using companion::say;
using exit_status::companion::cannot;
using exit_status::companion::found;
using sheet_run::Output;
constexpr int written = exit_status::companion::done;
// Far more than any project file.
constexpr std::size_t most_project_bytes = 1 << 20;

// A problem of the project file at a line: "game.toml, line 9: TEXT", an
// option's name in TEXT said as the project's key.
Problem at_line(const Project& project, int line, std::string text, const std::string& option = "",
                const std::string& key = "") {
  if (!option.empty() && text.starts_with(option)) text.replace(0, option.size(), key);
  return Problem{project.shown + ", line " + std::to_string(line) + ": " + text};
}

// Sets of one sheet made in one kind of sprite: one plan, each cell read once.
struct Group {
  Plan plan;
  std::vector<SpriteSet*> sets;
};

struct SheetWork {
  Picture picture;
  platform::FileIdentity identity;
  std::deque<Group> groups;  // each plan stays where it is: it points to its own palette
};

Options::Mode mode_of(const ProjectSheet& sheet, const SpriteSet& set) {
  return set.mode != Options::Mode::unset ? set.mode : sheet.options.mode;
}

// Each set's cells, and the plans of the sheet's kinds of sprite.
MaybeProblem plan_sheet(const Project& project, ProjectSheet& sheet, SheetWork& work,
                        const c64::Palette& palette_file) {
  for (SpriteSet& set : sheet.sets) {
    Group* group = nullptr;
    for (Group& other : work.groups)
      if (mode_of(sheet, *other.sets.front()) == mode_of(sheet, set)) group = &other;
    if (group == nullptr) {
      Options options = sheet.options;
      options.mode = mode_of(sheet, set);
      group = &work.groups.emplace_back();
      group->plan.palette_file = palette_file;
      if (MaybeProblem problem = make_plan(options, work.picture, sheet.shown, group->plan))
        return at_line(project, set.line, problem->text);
      group->plan.frames.clear();
    }
    group->sets.push_back(&set);
    if (MaybeProblem problem = read_frames(set.cells, group->plan.grid.count(), set.frames))
      return at_line(project, set.line, problem->text, "--frames", "cells");
    if (set.object && static_cast<int>(set.frames.size()) != set.columns * set.rows)
      return at_line(
          project, set.line,
          "object " + set.name + " has " +
              companion::plural(static_cast<std::int64_t>(set.frames.size()), "cell", "cells") +
              ", but its layout " + std::to_string(set.columns) + "x" + std::to_string(set.rows) +
              " takes " + std::to_string(set.columns * set.rows));
    set.hires = group->plan.hires;
    set.by_colour = group->plan.by_colour;
    group->plan.frames.insert(group->plan.frames.end(), set.frames.begin(), set.frames.end());
  }
  return {};
}

// The findings of one plan, each told of its picture and of the set that
// holds its cell; the picture's own findings once a sheet.
void gather(const ProjectSheet& sheet, const Group& group, const Conversion& conversion,
            std::set<std::string>& told, std::vector<companion::Finding>& findings,
            std::vector<companion::Finding>& notes) {
  auto add = [&](const std::vector<Finding>& these, const char* severity,
                 std::vector<companion::Finding>& into) {
    for (const Finding& finding : these) {
      const SpriteSet* owner = nullptr;
      for (const SpriteSet* set : group.sets)
        if (owner == nullptr &&
            std::find(set->frames.begin(), set->frames.end(), finding.cell) != set->frames.end())
          owner = set;
      std::string key = sheet.shown + "\n" + finding.kind + "\n" + std::to_string(finding.cell) +
                        "\n" + std::to_string(finding.x) + "," + std::to_string(finding.y);
      if (!told.insert(key).second) continue;
      companion::Finding record =
          sheet_run::records({finding}, severity, owner ? set_title(*owner) : "").front();
      record.file = sheet.shown;
      if (owner)
        record.set_kind = owner->object ? "object" : "animation", record.set_name = owner->name;
      into.push_back(record);
    }
  };
  add(conversion.notes, "note", notes);
  add(conversion.findings, "warning", findings);
}

// What the sheets made: each set's frames, the findings and the notes.
struct Results {
  std::map<const SpriteSet*, std::vector<Frame>> frames;
  std::vector<companion::Finding> findings, notes;
  std::set<std::string> told;  // the findings said, once each
};

// A sheet's plans converted, each set given its frames.
void convert_sheet(const ProjectSheet& sheet, SheetWork& work, Results& results) {
  for (Group& group : work.groups) {
    Conversion conversion = convert_frames(work.picture, group.plan);
    gather(sheet, group, conversion, results.told, results.findings, results.notes);
    std::size_t next = 0;
    for (const SpriteSet* set : group.sets) {
      auto first = conversion.frames.begin() + static_cast<std::ptrdiff_t>(next);
      results.frames[set].assign(first, first + static_cast<std::ptrdiff_t>(set->frames.size()));
      next += set->frames.size();
    }
  }
}

// Each sheet read, planned and converted in turn; its pixels let go before
// the next is read, so that a project takes the memory of its largest sheet.
MaybeProblem read_sheets(Project& project, std::vector<SheetWork>& works, Results& results) {
  c64::Palette palette_file{};
  if (MaybeProblem problem = sheet_run::read_palette_file(project.palette, palette_file))
    return Problem{project.shown + ": " + problem->text};
  works.resize(project.sheets.size());
  for (std::size_t n = 0; n < project.sheets.size(); ++n) {
    ProjectSheet& sheet = project.sheets[n];
    sheet.shown = platform::console_text(sheet.options.picture);
    if (MaybeProblem problem =
            sheet_run::read_picture(sheet.options.picture, works[n].picture, works[n].identity))
      return at_line(project, sheet.line, problem->text);
    if (MaybeProblem problem = plan_sheet(project, sheet, works[n], palette_file)) return problem;
    convert_sheet(sheet, works[n], results);
    works[n].picture = Picture{};
  }
  return {};
}

// The outputs' names: each its own file, none a picture or the project file.
MaybeProblem outputs_apart(const Project& project, const std::vector<SheetWork>& works) {
  std::vector<platform::FileIdentity> inputs = {sheet_run::identity_of(project.file)};
  for (const SheetWork& work : works) inputs.push_back(work.identity);
  std::vector<const std::string*> names;
  for (const std::string* name :
       {&project.output, &project.labels, &project.tables, &project.dependencies}) {
    if (name->empty()) continue;
    for (const std::string* other : names)
      if (*other == *name)
        return Problem{project.shown + ": \"" + platform::console_text(*name) +
                       "\" is named for two outputs: give each its own file"};
    names.push_back(name);
    platform::FileIdentity identity = sheet_run::identity_of(*name);
    for (const platform::FileIdentity& input : inputs)
      if (platform::reach_the_same(identity, input))
        return Problem{project.shown + ": \"" + platform::console_text(*name) +
                       "\" is an input of the project (its file or a picture): give another name"};
  }
  return {};
}

std::string made_json(const Project& project, const std::vector<Made>& made) {
  std::string sets;
  for (const Made& set : made) {
    std::string frames;
    for (std::size_t n = 0; n < set.frames.size(); ++n)
      frames +=
          std::string(n == 0 ? "" : ", ") + "{\"cell\": " + std::to_string(set.frames[n].cell) +
          ", \"pointer\": " + std::to_string(set.first_block + static_cast<int>(n)) +
          ", \"colour\": " + (set.set->by_colour ? std::to_string(set.frames[n].colour) : "null") +
          "}";
    std::string picture;
    for (const ProjectSheet& sheet : project.sheets)
      for (const SpriteSet& of : sheet.sets)
        if (&of == set.set) picture = sheet.shown;
    sets += std::string(sets.empty() ? "\n    " : ",\n    ") +
            "{\"name\": " + companion::json_text(set.set->name) + ", \"kind\": \"" +
            (set.set->object ? "object" : "animation") +
            "\", \"file\": " + companion::json_text(picture) + ", \"mode\": \"" +
            (set.set->hires ? "hires" : "multicolour") +
            "\", \"columns\": " + std::to_string(set.set->columns) +
            ", \"rows\": " + std::to_string(set.set->rows) + ", \"frames\": [" + frames + "]}";
  }
  // the files it writes, as opened, and what the blocks' place and colours need
  std::string outputs, registers;
  for (const std::string* name :
       {&project.output, &project.labels, &project.tables, &project.dependencies})
    if (!name->empty()) outputs += (outputs.empty() ? "" : ", ") + companion::json_text(*name);
  const std::pair<const char*, std::optional<int>> colours[] = {
      {"background", project.background},
      {"multicolour1", project.multicolour1},
      {"multicolour2", project.multicolour2}};
  for (const auto& [name, colour] : colours)
    registers += std::string(registers.empty() ? "" : ", ") + "\"" + name +
                 "\": " + (colour ? std::to_string(*colour) : "null");
  return ",\n  \"address\": " + companion::json_number(project.address) + ",\n  \"registers\": {" +
         registers + "}" + ",\n  \"outputs\": [" + outputs + "]" + ",\n  \"sets\": [" + sets +
         (sets.empty() ? "]" : "\n  ]") + sheet_run::labels_json(project_labels(project, made));
}

std::vector<Output> outputs_of(const Project& project, const std::vector<Made>& made) {
  std::vector<std::uint8_t> bytes = project_blocks(project, made);
  std::vector<Output> outputs = {{project.output, std::string(bytes.begin(), bytes.end()), ""}};
  if (!project.labels.empty())
    outputs.push_back({project.labels, project_labels_text(project, made), ""});
  if (!project.tables.empty())
    outputs.push_back({project.tables, project_tables_text(project, made), ""});
  if (!project.dependencies.empty())
    outputs.push_back({project.dependencies, dependency_text(project), ""});
  return outputs;
}

// The project read, its sheets converted and its blocks laid out; a
// problem of the project (status 2) wins over any finding.
MaybeProblem prepare(const std::string& file, Project& project, std::vector<SheetWork>& works,
                     Results& results, std::vector<Made>& made) {
  std::vector<std::uint8_t> bytes;
  if (std::uint16_t error = companion::read_whole_file(file, bytes, most_project_bytes))
    return Problem{"cannot read \"" + project.shown + "\": " + companion::cannot_reason(error)};
  std::string text(bytes.begin(), bytes.end());
  if (MaybeProblem problem = read_project(text, project)) return problem;
  if (MaybeProblem problem = read_sheets(project, works, results)) return problem;
  std::vector<int> first_blocks;
  if (MaybeProblem problem = lay_out(project, first_blocks))
    return Problem{project.shown + ": " + problem->text};
  std::size_t n = 0;
  for (const ProjectSheet& sheet : project.sheets)
    for (const SpriteSet& set : sheet.sets)
      made.push_back({&set, results.frames[&set], first_blocks[n++]});
  if (MaybeProblem problem = names_once(project, made))
    return Problem{project.shown + ": " + problem->text};
  return outputs_apart(project, works);
}

}  // namespace

int run_project(const std::string& file, companion::Format format) {
  sheet_run::Report report{format, platform::console_text(file)};
  Project project;
  project.file = file;
  project.shown = report.shown;
  std::vector<SheetWork> works;
  Results results;
  std::vector<Made> made;
  if (MaybeProblem problem = prepare(file, project, works, results, made))
    return report.refused(problem->text);
  const std::vector<companion::Finding>&findings = results.findings, &notes = results.notes;
  bool text = format == companion::Format::text;
  std::string json = text ? "" : made_json(project, made);
  if (text && !notes.empty() && !say(platform::standard_output(), sheet_run::lines_of("", notes)))
    return cannot;
  std::vector<companion::Finding> reported = notes;
  reported.insert(reported.end(), findings.begin(), findings.end());
  if (!findings.empty())
    return report.ended(text ? sheet_run::show_findings("", findings) : found, reported, json);
  std::vector<Output> outputs = outputs_of(project, made);
  if (MaybeProblem problem = sheet_run::write_outputs(outputs))
    return report.refused(problem->text);
  return report.ended(written, notes, json);
}

}  // namespace sheet
