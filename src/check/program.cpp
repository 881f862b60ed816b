// quorvel-check's run: its arguments, reading the bitmap, and its findings as
// console lines or as one JSON document.
#include "check/program.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "check/checks.hpp"
#include "companion/companion.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"
#include "services/platform/platform.hpp"

namespace {

// The headers and palette the check reads at most: far more than any BMP has.
constexpr std::int64_t most_head_bytes = 64 << 10;

constexpr std::string_view help =
    "Usage: quorvel-check BITMAP\n"
    "       quorvel-check BITMAP OUTNAME STARTADDRESS ADD_ZERO_BYTE COLOUR1 COLOUR2 COLOUR3 "
    "COLOUR4\n"
    "       quorvel-check --format json BITMAP [OUTNAME ...]\n"
    "Checks a bitmap, and the arguments of a quorvel run, for everything that would make the\n"
    "sprite differ from the picture, and says what to do. Put -check after quorvel's name and\n"
    "change nothing else. Writes no file.\n"
    "Each finding is one line: BITMAP: warning: what, where, what to do (error: for what\n"
    "quorvel refuses); with --format json, one JSON document instead, for programs.\n"
    "Exit status: 0 nothing found, 1 findings, 2 cannot check.\n"
    "See man quorvel-check.\n";

}  // namespace

namespace {

using companion::cannot_reason;
using companion::say;
using exit_status::companion::cannot;
using exit_status::companion::done;
using exit_status::companion::found;

// An input read a part at a time, by seeking where it can.
struct Input {
  platform::Handle handle;
  std::int64_t length;  // -1: it has none (a pipe, a device), so it is read through
  std::int64_t position = 0;
  bool ended = false;
};

// Appends up to `count` bytes to `bytes`, fewer at the end of the input.
std::uint16_t read_more(Input& input, std::vector<std::uint8_t>& bytes, std::int64_t count) {
  if (count <= 0 || input.ended) return 0;
  companion::Read read = companion::read_more(input.handle, bytes, static_cast<std::size_t>(count));
  input.position += static_cast<std::int64_t>(read.delivered);
  input.ended = read.ended;
  return read.error;
}

// Moves forward to `position`: a seek in a file, a read past what lies
// before it in anything else.
std::uint16_t go_to(Input& input, std::int64_t position) {
  if (input.length >= 0) {
    input.position = position;
    return platform::seek_file(input.handle, position);
  }
  std::vector<std::uint8_t> passed;
  while (input.position < position && !input.ended) {
    passed.clear();
    if (std::uint16_t error = read_more(input, passed, position - input.position)) return error;
  }
  return 0;
}

std::int32_t little_endian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
    value |= std::uint32_t{bytes[at + i]} << (8 * i);
  return static_cast<std::int32_t>(value);
}

// What the check needs of the input: its first two bytes tell a BMP apart
// (of anything else, a few more name its kind); then the headers and the
// palette, and the pixel data the header points to, however far into the file.
std::uint16_t read_bitmap(Input& input, check::Bitmap& bitmap) {
  std::vector<std::uint8_t>& head = bitmap.head;
  if (std::uint16_t error = read_more(input, head, 2)) return error;
  bool bmp = head.size() == 2 && head[0] == 'B' && head[1] == 'M';
  if (std::uint16_t error = read_more(input, head, bmp ? 52 : 6)) return error;
  if (bmp) {
    std::int64_t headers_end =
        std::clamp<std::int64_t>(little_endian(head, 10), 54, most_head_bytes);
    if (std::uint16_t error = read_more(input, head, headers_end - input.position)) return error;
    check::Span span = check::pixel_span(head);
    bitmap.pixels_at = span.first;
    for (std::int64_t at = span.first; at < span.end && at < input.position; ++at)
      bitmap.pixels.push_back(head[static_cast<std::size_t>(at)]);
    std::int64_t next = span.first + static_cast<std::int64_t>(bitmap.pixels.size());
    if (next < span.end) {
      if (std::uint16_t error = go_to(input, next)) return error;
      if (std::uint16_t error = read_more(input, bitmap.pixels, span.end - next)) return error;
    }
  }
  bitmap.length = input.length >= 0 ? input.length : input.ended ? input.position : -1;
  return 0;
}

std::uint16_t read_input(const std::string& name, check::Bitmap& bitmap) {
  platform::Handle handle = platform::no_handle;
  if (std::uint16_t error = platform::open_existing_file(name, handle)) return error;
  Input input{handle, platform::file_length(handle)};
  std::uint16_t error = read_bitmap(input, bitmap);
  platform::close_file_handle(handle);
  return error;
}

// The findings on standard output, as console lines or one JSON document; a
// refusal on standard error in both forms.
int report(const std::string& shown, const std::vector<companion::Finding>& findings,
           const std::string& error, companion::Format format, const std::string& sprite = "") {
  int status = !error.empty() ? cannot : done;
  for (const companion::Finding& finding : findings)
    if (finding.severity != "note") status = found;
  if (!error.empty()) say(platform::standard_error(), "quorvel-check: " + error + "\n");
  if (format == companion::Format::json)
    return say(platform::standard_output(),
               companion::json_document(
                   status, shown, findings, error,
                   ",\n  \"sprite\": " +
                       (sprite.empty() ? std::string("null") : companion::json_text(sprite))))
               ? status
               : cannot;
  if (!error.empty()) return cannot;
  std::string lines;
  for (const companion::Finding& finding : findings)
    lines += companion::console_line(shown, finding);
  return lines.empty() || say(platform::standard_output(), lines) ? status : cannot;
}

int check_file(const std::vector<std::string>& arguments, companion::Format format) {
  const std::string& name = arguments[1];
  std::string shown = platform::console_text(name);
  check::Bitmap bitmap;
  std::uint16_t error =
      name.empty() ? std::uint16_t{exit_status::file_not_found} : read_input(name, bitmap);
  if (error != 0)
    return report(shown, {}, "cannot read \"" + shown + "\": " + cannot_reason(error), format);
  // The texts as the converter reads them (a Windows code page), before it cuts them.
  check::Arguments given;
  if (arguments.size() == 9)
    given = {platform::console_text(arguments[3]),
             platform::console_text(arguments[4]),
             {platform::console_text(arguments[5]), platform::console_text(arguments[6]),
              platform::console_text(arguments[7]), platform::console_text(arguments[8])}};
  return report(
      shown, check::records(check::check_bitmap(bitmap, arguments.size() == 9 ? &given : nullptr)),
      "", format, check::sprite_made(bitmap));
}

// "--format json" or "--format=json" before the bitmap, taken off the arguments.
std::optional<companion::Format> take_format(std::vector<std::string>& arguments) {
  if (arguments.size() < 2 || !arguments[1].starts_with("--format")) return companion::Format::text;
  std::string value;
  if (arguments[1].starts_with("--format=")) {
    value = arguments[1].substr(9);
    arguments.erase(arguments.begin() + 1);
  } else if (arguments[1] == "--format" && arguments.size() > 2) {
    value = arguments[2];
    arguments.erase(arguments.begin() + 1, arguments.begin() + 3);
  } else {
    return companion::Format::text;  // a bitmap of that name
  }
  return companion::format_named(value);
}

}  // namespace

int run_check(int argc, platform::ArgumentChar** argv) {
  platform::prepare_process(fatal_error);
  std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  if (arguments.size() == 2 && arguments[1] == "--help")
    return say(platform::standard_output(), help) ? done : cannot;
  if (arguments.size() == 2 && arguments[1] == "--version")
    return say(platform::standard_output(), "quorvel-check " QUORVEL_RELEASE_VERSION "\n") ? done
                                                                                           : cannot;
  std::optional<companion::Format> format = take_format(arguments);
  if (!format) {
    say(platform::standard_error(), "quorvel-check: --format takes text or json\n");
    return cannot;
  }
  if (arguments.size() != 2 && arguments.size() != 9) {
    say(platform::standard_error(), help);
    return cannot;
  }
  return check_file(arguments, *format);
}
