// quorvel-check's run: its arguments, reading the bitmap, and one line for
// each finding.
#include "check/program.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "check/checks.hpp"
#include "services/console.hpp"
#include "services/exit_status.hpp"
#include "services/platform/platform.hpp"

namespace {

constexpr int clean = 0;
constexpr int found = 1;
constexpr int cannot_check = 2;
// The headers and palette the check reads at most: far more than any BMP has.
constexpr std::int64_t most_head_bytes = 64 << 10;

constexpr std::string_view help =
    "Usage: quorvel-check BITMAP\n"
    "       quorvel-check BITMAP OUTNAME STARTADDRESS ADD_ZERO_BYTE COLOUR1 COLOUR2 COLOUR3 "
    "COLOUR4\n"
    "Checks a bitmap, and the arguments of a quorvel run, for everything that would make the\n"
    "sprite differ from the picture, and says what to do. Put -check after quorvel's name and\n"
    "change nothing else. Writes no file.\n"
    "Each finding is one line: BITMAP: warning: what, where, what to do (error: for what\n"
    "quorvel refuses). Exit status: 0 nothing found, 1 findings, 2 cannot check.\n"
    "See man quorvel-check.\n";

}  // namespace

namespace companion {

bool say(platform::Handle stream, std::string_view text) {
  return platform::write_console(stream, text.data(), text.size());
}

std::string cannot_reason(std::uint16_t error) {
  switch (error) {
    case exit_status::file_not_found:
      return "there is no such file";
    case exit_status::path_not_found:
      return "a folder in its path does not exist, or the name is too long";
    case exit_status::access_denied:
      return "access is denied, or it is a folder";
    case exit_status::invalid_name:
      return "the system cannot take the name";
    default:
      return "the system said error " + std::to_string(error);
  }
}

}  // namespace companion

namespace {

using companion::cannot_reason;
using companion::say;

// An input read a part at a time, by seeking where it can.
struct Input {
  platform::Handle handle;
  std::int64_t length;  // -1: it has none (a pipe, a device), so it is read through
  std::int64_t position = 0;
  bool ended = false;
};

// Appends up to `count` bytes to `bytes`, fewer at the end of the input.
std::uint16_t read_more(Input& input, std::vector<std::uint8_t>& bytes, std::int64_t count) {
  while (count > 0 && !input.ended) {
    std::size_t at = bytes.size(), delivered = 0;
    bytes.resize(at + static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 16)));
    std::uint16_t error =
        platform::read_file(input.handle, bytes.data() + at, bytes.size() - at, delivered);
    bytes.resize(at + delivered);
    if (error != 0) return error;
    input.position += static_cast<std::int64_t>(delivered);
    count -= static_cast<std::int64_t>(delivered);
    input.ended = delivered == 0;
  }
  return 0;
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

int check_file(const std::vector<std::string>& arguments) {
  const std::string& name = arguments[1];
  std::string shown = platform::console_text(name);
  check::Bitmap bitmap;
  std::uint16_t error =
      name.empty() ? std::uint16_t{exit_status::file_not_found} : read_input(name, bitmap);
  if (error != 0) {
    say(platform::standard_error(),
        "quorvel-check: cannot read \"" + shown + "\": " + cannot_reason(error) + "\n");
    return cannot_check;
  }
  // The texts as the converter reads them (a Windows code page), before it cuts them.
  check::Arguments given;
  if (arguments.size() == 9)
    given = {platform::console_text(arguments[3]),
             platform::console_text(arguments[4]),
             {platform::console_text(arguments[5]), platform::console_text(arguments[6]),
              platform::console_text(arguments[7]), platform::console_text(arguments[8])}};
  std::vector<check::Finding> findings =
      check::check_bitmap(bitmap, arguments.size() == 9 ? &given : nullptr);
  constexpr const char* kinds[] = {": error: ", ": warning: ", ": note: "};
  int status = clean;
  for (const check::Finding& finding : findings) {
    std::string line = shown + kinds[finding.kind] + finding.message;
    if (!say(platform::standard_output(), line + "\n")) return cannot_check;
    if (finding.kind != check::Finding::note) status = found;
  }
  return status;
}

}  // namespace

int run_check(int argc, platform::ArgumentChar** argv) {
  platform::prepare_process(fatal_error);
  std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  if (arguments.size() == 2 && arguments[1] == "--help")
    return say(platform::standard_output(), help) ? clean : cannot_check;
  if (arguments.size() == 2 && arguments[1] == "--version")
    return say(platform::standard_output(), "quorvel-check " QUORVEL_RELEASE_VERSION "\n")
               ? clean
               : cannot_check;
  if (arguments.size() != 2 && arguments.size() != 9) {
    say(platform::standard_error(), help);
    return cannot_check;
  }
  return check_file(arguments);
}
