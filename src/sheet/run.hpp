// What quorvel-sheet's two runs (one picture, a project) share: reading a
// picture and a palette file, writing every output whole or none, and the
// findings' console lines and JSON document.
#pragma once

#include <string>
#include <vector>

#include "c64/palettes.hpp"
#include "companion/companion.hpp"
#include "picture/picture.hpp"
#include "services/platform/platform.hpp"
#include "sheet/sheet.hpp"

namespace sheet_run {

// "quorvel-sheet: TEXT" on standard error; status 2.
int refuse(const std::string& text);

// What an existing file of this name reaches; no keys where there is none.
platform::FileIdentity identity_of(const std::string& name);

// The whole picture, once its start shows a size that can be read.
companion::MaybeProblem read_picture(const std::string& name, picture::Picture& picture,
                                     platform::FileIdentity& identity);

// --palette with a file rather than a published palette's name: the file's
// palette, which the plan then takes.
companion::MaybeProblem read_palette_file(const std::string& name, c64::Palette& palette);

// One output: a file written beside its name and put in its place, or a
// device written directly, or standard output.
struct Output {
  std::string name;
  std::string bytes;
  std::string created;  // the file beside it, until it takes the name's place
};
// Writes every output, and only then puts each in its place: a failure
// leaves every name that was to be replaced as it was.
companion::MaybeProblem write_outputs(std::vector<Output>& outputs);

// Each finding as its line says it: "WHERE, cell N, pixel X, Y: " where it
// has them (WHERE: a project's "animation ship").
std::vector<companion::Finding> records(const std::vector<sheet::Finding>& findings,
                                        const std::string& severity = "warning",
                                        const std::string& where = "");
std::string lines_of(const std::string& shown, const std::vector<companion::Finding>& findings);
// The findings' lines, the first 100 of them: status 1, or 2 when they cannot be said.
int show_findings(const std::string& shown, const std::vector<companion::Finding>& findings);

// The labels as the JSON document's "labels" member, after a comma.
std::string labels_json(const std::vector<std::pair<std::string, int>>& labels);

// How a run ends, in the options' form: the console's lines, or one JSON
// document on standard output (the refusal also on standard error).
struct Report {
  companion::Format format;
  std::string shown;  // the picture's (or project's) name as messages show it

  int refused(const std::string& text) const;
  int ended(int status, const std::vector<companion::Finding>& findings,
            const std::string& made) const;
};

}  // namespace sheet_run
