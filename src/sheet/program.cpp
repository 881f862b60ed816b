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
#include "sheet/project.hpp"
#include "sheet/run.hpp"
#include "sheet/sheet.hpp"

namespace {

using companion::cannot_reason;
using companion::say;
using exit_status::companion::cannot;
using exit_status::companion::found;
constexpr int written = exit_status::companion::done;
using namespace sheet_run;

constexpr std::string_view help =
    "Usage: quorvel-sheet [OPTIONS] PICTURE OUTNAME\n"
    "   or: quorvel-sheet [--format json] PROJECT.toml\n"
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
    "A project file (.toml) names the sheets, animations and objects of a game's sprites,\n"
    "and writes their blocks in one VIC bank with labels, tables and a dependency file.\n"
    "Each finding is one line: PICTURE: warning: cell N, pixel X, Y: what, what to do.\n"
    "Exit status: 0 written, 1 findings (nothing written), 2 cannot read, bad options or a\n"
    "failed write. See man quorvel-sheet.\n";

// What the run made, as the JSON document's own members.
std::string made_json(const sheet::Conversion& conversion, const sheet::Plan& plan) {
  std::string frames;
  int first_block = plan.address ? *plan.address % 0x4000 / 64 : 0;
  for (std::size_t n = 0; n < conversion.frames.size(); ++n) {
    const sheet::Frame& frame = conversion.frames[n];
    frames += std::string(n == 0 ? "\n    " : ",\n    ") +
              "{\"cell\": " + std::to_string(frame.cell) +
              ", \"pointer\": " + std::to_string(first_block + static_cast<int>(n)) +
              ", \"colour\": " + (plan.by_colour ? std::to_string(frame.colour) : "null") +
              ", \"mode\": \"" + (plan.hires ? "hires" : "multicolour") + "\"}";
  }
  return ",\n  \"frames\": [" + frames + (frames.empty() ? "]" : "\n  ]") +
         labels_json(sheet::labels(conversion, plan));
}

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
  if (!options.project.empty()) return sheet::run_project(options.project, options.format);
  return make_sheet(options);
}
