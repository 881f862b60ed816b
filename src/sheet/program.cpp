// quorvel-sheet's run: reads the picture, converts the frames, and writes the
// blocks and the labels whole, or nothing when a cell has a finding.
#include "sheet/program.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "c64/matcher.hpp"
#include "c64/palette_files.hpp"
#include "companion/companion.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"
#include "services/platform/platform.hpp"
#include "sheet/sheet.hpp"

namespace {

using companion::cannot_reason;
using companion::say;
using exit_status::companion::cannot;
using exit_status::companion::found;
constexpr int written = exit_status::companion::done;
// Findings shown at most: a picture of another kind would show thousands.
constexpr std::size_t most_findings = 100;
// The start of a file, enough for any header: its size is known from it.
constexpr std::size_t header_bytes = 1 << 16;
// Far more than a 4096 by 4096 picture takes in any format the program reads.
constexpr std::size_t most_bytes = std::size_t{160} << 20;

constexpr std::string_view help =
    "Usage: quorvel-sheet [OPTIONS] PICTURE OUTNAME\n"
    "Makes C64 sprites of the cells of one picture (a BMP of 1, 4, 8, 24 or 32 bits, or a PNG)\n"
    "and writes them to OUTNAME (- for standard output), 64 bytes a sprite, after a load\n"
    "address if one is given; with the labels for the assembler if asked. Nothing is written\n"
    "when a cell has a finding.\n"
    "  --cell WxH            the cells' size, at least 24x21 (default); a sprite sits at the\n"
    "                        top left of its cell\n"
    "  --origin X,Y          where the first cell starts (default 0,0)\n"
    "  --spacing X,Y         the gap between cells (default 0,0)\n"
    "  --frames LIST         the cells to write, in order, such as 0-3,6 (default all)\n"
    "  --hires, --multicolour  the kind of sprite (default multicolour; hires for a 1-bit\n"
    "                        picture by palette index)\n"
    "  --background C, --multicolour1 C, --multicolour2 C\n"
    "                        colours by C64 colour (0-15, or a name such as light-blue):\n"
    "                        the one other colour of a cell is that sprite's own\n"
    "  --palette NAME|FILE   the C64 palette the colours are in: pepto, colodore, c64-wiki\n"
    "                        ... (README: \"C64 palettes\"), or a .vpl, .gpl, .act or .hex file\n"
    "  --codes C1,C2,C3,C4   colours by palette index, as quorvel's colour arguments\n"
    "                        (default 0,1,2,3; an indexed BMP)\n"
    "  --address HEX|none    the load address, on a 64-byte block (default none)\n"
    "  --labels FILE         also writes NAME = VALUE lines: the sprite pointers and colours\n"
    "  --labels-syntax plain|kickass   .const lines for KickAssembler (default plain)\n"
    "  --name PREFIX         the labels' prefix (default the picture's name)\n"
    "  --format text|json    json: one JSON document on standard output, for programs\n"
    "Each finding is one line: PICTURE: warning: cell N, pixel X, Y: what, what to do.\n"
    "Exit status: 0 written, 1 findings (nothing written), 2 cannot read, bad options or a\n"
    "failed write. See man quorvel-sheet.\n";

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
  std::int64_t length = error == 0 ? platform::file_length(handle) : -1;
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

std::uint16_t write_all(platform::Handle handle, const std::string& bytes) {
  std::size_t done = 0;
  std::uint16_t error = platform::write_file(handle, bytes.data(), bytes.size(), done);
  return error != 0 ? error : done < bytes.size() ? exit_status::write_failed : std::uint16_t{0};
}

// One output: a file written beside its name and put in its place, or a
// device written directly, or standard output.
struct Output {
  std::string name;
  std::string bytes;
  std::string created;  // the file beside it, until it takes the name's place
};

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
                                        const std::string& severity = "warning") {
  std::vector<companion::Finding> made;
  for (const sheet::Finding& finding : findings) {
    std::optional<int> cell, x, y;
    std::string where;
    if (finding.cell >= 0) cell = finding.cell, where = "cell " + std::to_string(*cell) + ", ";
    if (finding.x >= 0)
      x = finding.x, y = finding.y,
      where += "pixel " + std::to_string(*x) + ", " + std::to_string(*y) + ", ";
    if (!where.empty()) where.replace(where.size() - 2, 2, ": ");
    made.push_back({severity, finding.kind, where + finding.message, cell, x, y});
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

// What the run made, as the JSON document's own members.
std::string made_json(const sheet::Conversion& conversion, const sheet::Plan& plan) {
  std::string frames, labels;
  int first_block = plan.address ? *plan.address % 0x4000 / 64 : 0;
  for (std::size_t n = 0; n < conversion.frames.size(); ++n) {
    const sheet::Frame& frame = conversion.frames[n];
    frames += std::string(n == 0 ? "\n    " : ",\n    ") +
              "{\"cell\": " + std::to_string(frame.cell) +
              ", \"pointer\": " + std::to_string(first_block + static_cast<int>(n)) +
              ", \"colour\": " + (plan.by_colour ? std::to_string(frame.colour) : "null") +
              ", \"mode\": \"" + (plan.hires ? "hires" : "multicolour") + "\"}";
  }
  for (const auto& [name, value] : sheet::labels(conversion, plan))
    labels += (labels.empty() ? "\n    " : ",\n    ") + companion::json_text(name) + ": " +
              std::to_string(value);
  return ",\n  \"frames\": [" + frames + (frames.empty() ? "]" : "\n  ]") + ",\n  \"labels\": {" +
         labels + (labels.empty() ? "}" : "\n  }");
}

// How a run ends, in the options' form: the console's lines, or one JSON
// document on standard output (the refusal also on standard error).
struct Report {
  companion::Format format;
  std::string shown;  // the picture's name as messages show it

  int refused(const std::string& text) const {
    int status = refuse(text);
    if (format == companion::Format::json)
      say(platform::standard_output(), companion::json_document(status, shown, {}, text));
    return status;
  }
  int ended(int status, const std::vector<companion::Finding>& findings,
            const std::string& made) const {
    if (format == companion::Format::text) return status;
    return say(platform::standard_output(),
               companion::json_document(status, shown, findings, "", made))
               ? status
               : cannot;
  }
};

// The outputs a run writes: the blocks, and the labels where asked.
std::vector<Output> outputs_of(const sheet::Options& options, const sheet::Conversion& conversion,
                               const sheet::Plan& plan) {
  std::vector<std::uint8_t> bytes = sheet::blocks(conversion, plan.address);
  std::vector<Output> outputs = {{options.outname, std::string(bytes.begin(), bytes.end()), ""}};
  if (!options.labels.empty())
    outputs.push_back({options.labels, sheet::labels_text(conversion, plan), ""});
  return outputs;
}

int make_sheet(const sheet::Options& options) {
  Report report{options.format, platform::console_text(options.picture)};
  picture::Picture picture;
  platform::FileIdentity identity;
  if (companion::MaybeProblem problem = read_picture(options.picture, picture, identity))
    return report.refused(problem->text);
  for (const std::string& name : {options.outname, options.labels})
    if (!name.empty() && platform::reach_the_same(identity_of(name), identity))
      return report.refused("\"" + platform::console_text(name) +
                            "\" is the picture itself: give another name");
  sheet::Plan plan;
  if (companion::MaybeProblem problem = read_palette_file(options.palette, plan.palette_file))
    return report.refused(problem->text);
  if (companion::MaybeProblem problem = sheet::make_plan(options, picture, report.shown, plan))
    return report.refused(problem->text);
  sheet::Conversion conversion = sheet::convert_frames(picture, plan);
  std::vector<companion::Finding> notes = records(conversion.notes, "note"),
                                  findings = records(conversion.findings);
  std::string made = made_json(conversion, plan);
  bool text = options.format == companion::Format::text;
  // The notes come first, whether the blocks are written or not.
  if (text && !notes.empty() && !say(platform::standard_output(), lines_of(report.shown, notes)))
    return cannot;
  std::vector<companion::Finding> reported = notes;
  reported.insert(reported.end(), findings.begin(), findings.end());
  if (!findings.empty())
    return report.ended(text ? show_findings(report.shown, findings) : found, reported, made);
  std::vector<Output> outputs = outputs_of(options, conversion, plan);
  if (companion::MaybeProblem problem = write_outputs(outputs))
    return report.refused(problem->text);
  return report.ended(written, notes, made);
}

}  // namespace

int run_sheet(int argc, platform::ArgumentChar** argv) {
  platform::prepare_process(fatal_error);
  std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  sheet::Options options;
  companion::MaybeProblem problem = sheet::read_options(
      std::vector<std::string>(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()),
      options);
  if (problem) {
    if (options.format == companion::Format::json)
      say(platform::standard_output(), companion::json_document(cannot, "", {}, problem->text));
    return refuse(problem->text);
  }
  if (options.help) return say(platform::standard_output(), help) ? written : cannot;
  if (options.version)
    return say(platform::standard_output(), "quorvel-sheet " QUORVEL_RELEASE_VERSION "\n") ? written
                                                                                           : cannot;
  return make_sheet(options);
}
