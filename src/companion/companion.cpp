// The companions' shared console, file reading and report forms.
#include "companion/companion.hpp"

#include <algorithm>

#include "services/exit_status.hpp"

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

std::string plural(std::int64_t count, const std::string& one, const std::string& many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Each read asks for as much as has come so far (64 KiB at least), so that a
// file of any length takes a handful of reads.
Read read_more(platform::Handle handle, std::vector<std::uint8_t>& bytes, std::size_t count) {
  Read read;
  while (count > 0) {
    std::size_t at = bytes.size(), delivered = 0;
    bytes.resize(at + std::min<std::size_t>(count, std::max<std::size_t>(at, 1 << 16)));
    read.error = platform::read_file(handle, bytes.data() + at, bytes.size() - at, delivered);
    bytes.resize(at + delivered);
    read.delivered += delivered;
    if (read.error != 0) return read;
    if (delivered == 0) {
      read.ended = true;
      return read;
    }
    count -= delivered;
  }
  return read;
}

std::uint16_t read_whole_file(const std::string& name, std::vector<std::uint8_t>& bytes,
                              std::size_t most) {
  platform::Handle handle = platform::no_handle;
  if (name.empty()) return exit_status::file_not_found;
  if (std::uint16_t error = platform::open_existing_file(name, handle)) return error;
  std::int64_t length = platform::file_length(handle);
  std::size_t count = length >= 0 ? std::min(static_cast<std::size_t>(length), most) : most;
  std::uint16_t error = read_more(handle, bytes, count).error;
  platform::close_file_handle(handle);
  return error;
}

std::uint16_t write_whole_file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  platform::Handle handle = platform::no_handle;
  if (std::uint16_t error = platform::open_for_writing(name, handle)) return error;
  std::size_t done = 0;
  std::uint16_t error = platform::empty_file(handle);
  if (error == 0) error = platform::write_file(handle, bytes.data(), bytes.size(), done);
  if (error == 0 && done < bytes.size()) error = exit_status::write_failed;
  std::uint16_t closed = platform::close_file_handle(handle);
  return error != 0 ? error : closed;
}

std::optional<Format> format_named(std::string_view name) {
  if (name == "text") return Format::text;
  if (name == "json") return Format::json;
  return std::nullopt;
}

std::string console_line(const std::string& shown_file, const Finding& finding) {
  return (finding.file.empty() ? shown_file : finding.file) + ": " + finding.severity + ": " +
         finding.message + "\n";
}

namespace {

// The length of the well-formed UTF-8 character at `text[at]`, or 0.
std::size_t utf8_length(std::string_view text, std::size_t at) {
  auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char first = byte(at);
  std::size_t length = first < 0x80                    ? 1
                       : first >= 0xC2 && first < 0xE0 ? 2
                       : first >= 0xE0 && first < 0xF0 ? 3
                       : first >= 0xF0 && first < 0xF5 ? 4
                                                       : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  if (length == 3 &&
      ((first == 0xE0 && byte(at + 1) < 0xA0) || (first == 0xED && byte(at + 1) >= 0xA0)))
    return 0;  // overlong, or a surrogate
  if (length == 4 &&
      ((first == 0xF0 && byte(at + 1) < 0x90) || (first == 0xF4 && byte(at + 1) >= 0x90)))
    return 0;
  return length;
}

std::string list_of(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string text = "[";
  for (const std::string& item : items) text += (text.size() == 1 ? "\n    " : ",\n    ") + item;
  return text + "\n  ]";
}

std::string finding_json(const std::string& file, const Finding& finding) {
  std::string set = finding.set_kind.empty()
                        ? ""
                        : ", " + json_text(finding.set_kind) + ": " + json_text(finding.set_name);
  return "{\"file\": " + json_text(finding.file.empty() ? file : finding.file) + set +
         ", \"cell\": " + json_number(finding.cell) + ", \"x\": " + json_number(finding.x) +
         ", \"y\": " + json_number(finding.y) + ", \"severity\": " + json_text(finding.severity) +
         ", \"kind\": " + json_text(finding.kind) + ", \"message\": " + json_text(finding.message) +
         ", \"fix\": " + finding.fix_json +
         (finding.pixels_json.empty() ? "" : ", \"pixels\": " + finding.pixels_json) + "}";
}

}  // namespace

// Control characters escaped; a byte that is no part of a UTF-8 character
// (a file name need not be text) becomes U+FFFD, so the document stays JSON.
std::string json_text(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    char c = text[at];
    std::size_t length = utf8_length(text, at);
    if (length == 0) {
      out += "\\ufffd";
      ++at;
    } else if (c == '"' || c == '\\') {
      out += {'\\', c};
      ++at;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      constexpr char hex[] = "0123456789abcdef";
      out += std::string("\\u00") + hex[c >> 4 & 15] + hex[c & 15];
      ++at;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out + "\"";
}

std::string json_number(std::optional<std::int64_t> number) {
  return number ? std::to_string(*number) : "null";
}

std::string json_document(int status, const std::string& file, const std::vector<Finding>& findings,
                          const std::string& error, const std::string& rest) {
  std::vector<std::string> found, notes;
  for (const Finding& finding : findings)
    if (finding.severity == "note")
      notes.push_back("{\"message\": " + json_text(finding.message) + "}");
    else
      found.push_back(finding_json(file, finding));
  return "{\n  \"status\": " + std::to_string(status) + ",\n  \"file\": " + json_text(file) +
         ",\n  \"error\": " + (error.empty() ? "null" : json_text(error)) +
         ",\n  \"findings\": " + list_of(found) + ",\n  \"notes\": " + list_of(notes) + rest +
         "\n}\n";
}

}  // namespace companion
