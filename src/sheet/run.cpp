// What quorvel-sheet's two runs share: the picture and a palette file read,
// the outputs written whole or not at all, and the findings said.
#include "sheet/run.hpp"

#include <algorithm>

#include "c64/matcher.hpp"
#include "c64/palette_files.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"

namespace sheet_run {

namespace {

using companion::cannot_reason;
using companion::say;
using exit_status::companion::cannot;
using exit_status::companion::found;
// Findings shown at most: a picture of another kind would show thousands.
constexpr std::size_t most_findings = 100;
// The start of a file, enough for any header: its size is known from it.
constexpr std::size_t header_bytes = 1 << 16;
// Far more than a 4096 by 4096 picture takes in any format the program reads.
constexpr std::size_t most_bytes = std::size_t{160} << 20;

std::uint16_t write_all(platform::Handle handle, const std::string& bytes) {
  std::size_t done = 0;
  std::uint16_t error = platform::write_file(handle, bytes.data(), bytes.size(), done);
  return error != 0 ? error : done < bytes.size() ? exit_status::write_failed : std::uint16_t{0};
}

std::uint16_t write_beside(Output& output) {
  if (output.name == "-") return write_all(platform::standard_output(), output.bytes);
  bool whole = false;
  if (std::uint16_t error = platform::written_whole(output.name, whole)) return error;
  platform::Handle handle = platform::no_handle;
  std::uint16_t error = whole ? platform::create_beside(output.name, output.created, handle)
                              : platform::open_for_writing(output.name, handle);
  if (error != 0) return error;
  error = write_all(handle, output.bytes);
  std::uint16_t closed = platform::close_file_handle(handle);
  return error != 0 ? error : closed;
}

}  // namespace

int refuse(const std::string& text) {
  say(platform::standard_error(), "quorvel-sheet: " + text + "\n");
  return cannot;
}

// What an existing file of this name reaches; no keys where there is none.
platform::FileIdentity identity_of(const std::string& name) {
  platform::Handle handle = platform::no_handle;
  if (name == "-" || platform::open_existing_file(name, handle) != 0) return {};
  platform::FileIdentity identity = platform::file_identity(handle);
  platform::close_file_handle(handle);
  return identity;
}

// The whole picture, once its start shows a size that can be read.
companion::MaybeProblem read_picture(const std::string& name, picture::Picture& picture,
                                     platform::FileIdentity& identity) {
  std::string shown = platform::console_text(name);
  platform::Handle handle = platform::no_handle;
  std::vector<std::uint8_t> bytes;
  std::uint16_t error = name.empty() ? std::uint16_t{exit_status::file_not_found}
                                     : platform::open_existing_file(name, handle);
  if (error == 0) identity = platform::file_identity(handle);
  // A file is read in one go, anything else (a pipe) a part at a time.
  std::int64_t length = error == 0 ? identity.length : -1;
  std::size_t first = length >= 0
                          ? static_cast<std::size_t>(std::min<std::int64_t>(length, header_bytes))
                          : header_bytes;
  if (error == 0) error = companion::read_more(handle, bytes, first).error;
  picture::Shape shape;
  if (error == 0) shape = picture::picture_shape(bytes);
  std::size_t rest = most_bytes;
  if (length >= 0)
    rest = static_cast<std::size_t>(std::min<std::int64_t>(length, most_bytes)) - bytes.size();
  if (error == 0 && shape.refusal.empty() && rest > 0)
    error = companion::read_more(handle, bytes, rest).error;
  if (handle != platform::no_handle) platform::close_file_handle(handle);
  std::string cannot_read = "cannot read \"" + shown + "\": ";
  if (error != 0) return companion::Problem{cannot_read + cannot_reason(error)};
  if (!shape.refusal.empty()) return companion::Problem{cannot_read + shape.refusal};
  if (std::string problem = picture::decode_picture(bytes, picture); !problem.empty())
    return companion::Problem{cannot_read + problem};
  return {};
}

// --palette with a file rather than a published palette's name: the file's
// palette, which the plan then takes.
companion::MaybeProblem read_palette_file(const std::string& name, c64::Palette& palette) {
  if (name.empty() || c64::palette_named(name) != nullptr) return {};
  std::vector<std::uint8_t> bytes;
  if (std::uint16_t error = companion::read_whole_file(name, bytes, 1 << 16)) {
    std::string names;
    for (const c64::Palette& known : c64::palettes)
      names += (names.empty() ? "" : ", ") + std::string(known.name);
    return companion::Problem{"--palette " + platform::console_text(name) +
                              " is no palette of the programs (" + names +
                              ") and no file it can read: " + cannot_reason(error)};
  }
  return c64::read_palette_file(name, bytes, palette);
}

// Writes every output, and only then puts each in its place: a failure
// leaves every name that was to be replaced as it was.
companion::MaybeProblem write_outputs(std::vector<Output>& outputs) {
  std::uint16_t error = 0;
  const Output* failed = nullptr;
  for (Output& output : outputs)
    if (error == 0 && (error = write_beside(output)) != 0) failed = &output;
  for (Output& output : outputs) {
    if (error != 0 || output.created.empty()) continue;
    if ((error = platform::replace_file(output.created, output.name)) != 0) failed = &output;
    if (error == 0) output.created.clear();
  }
  if (error == 0) return {};
  for (Output& left : outputs)
    if (!left.created.empty()) platform::remove_file(left.created);
  return companion::Problem{"cannot write \"" + platform::console_text(failed->name) +
                            "\": " + cannot_reason(error)};
}

// Each finding as its line says it: "cell N, pixel X, Y: " where it has them.
std::vector<companion::Finding> records(const std::vector<sheet::Finding>& findings,
                                        const std::string& severity, const std::string& where) {
  std::vector<companion::Finding> made;
  for (const sheet::Finding& finding : findings) {
    std::optional<int> cell, x, y;
    std::string at = finding.cell >= 0 && !where.empty() ? where + ", " : "";
    if (finding.cell >= 0) cell = finding.cell, at += "cell " + std::to_string(*cell) + ", ";
    if (finding.x >= 0)
      x = finding.x, y = finding.y,
      at += "pixel " + std::to_string(*x) + ", " + std::to_string(*y) + ", ";
    if (!at.empty()) at.replace(at.size() - 2, 2, ": ");
    companion::Finding record;
    record.severity = severity, record.kind = finding.kind, record.message = at + finding.message;
    record.cell = cell, record.x = x, record.y = y;
    for (const auto& [px, py] : finding.pixels)
      record.pixels_json += std::string(record.pixels_json.empty() ? "[" : ", ") + "[" +
                            std::to_string(px) + ", " + std::to_string(py) + "]";
    if (!record.pixels_json.empty()) record.pixels_json += "]";
    made.push_back(record);
  }
  return made;
}

std::string lines_of(const std::string& shown, const std::vector<companion::Finding>& findings) {
  std::string lines;
  for (const companion::Finding& finding : findings)
    lines += companion::console_line(shown, finding);
  return lines;
}

int show_findings(const std::string& shown, const std::vector<companion::Finding>& findings) {
  std::string lines;
  for (std::size_t i = 0; i < findings.size() && i < most_findings; ++i)
    lines += companion::console_line(shown, findings[i]);
  if (findings.size() > most_findings)
    lines += shown + ": warning: " + std::to_string(findings.size() - most_findings) +
             " more findings not shown\n";
  return say(platform::standard_output(), lines) ? found : cannot;
}

std::string labels_json(const std::vector<std::pair<std::string, int>>& labels) {
  std::string members;
  for (const auto& [name, value] : labels)
    members += (members.empty() ? "\n    " : ",\n    ") + companion::json_text(name) + ": " +
               std::to_string(value);
  return ",\n  \"labels\": {" + members + (members.empty() ? "}" : "\n  }");
}

int Report::refused(const std::string& text) const {
  int status = refuse(text);
  if (format == companion::Format::json)
    say(platform::standard_output(), companion::json_document(status, shown, {}, text));
  return status;
}

int Report::ended(int status, const std::vector<companion::Finding>& findings,
                  const std::string& made) const {
  if (format == companion::Format::text) return status;
  return say(platform::standard_output(),
             companion::json_document(status, shown, findings, "", made))
             ? status
             : cannot;
}

}  // namespace sheet_run
