// What quorvel-check and quorvel-sheet share: their console lines, why a file
// cannot be read or written, reading a whole file, counted words, and one
// record a finding from which both the console line and the JSON are made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/platform/platform.hpp"

namespace companion {

// Why a step cannot be done; a step that can fail returns one, or nothing.
struct Problem {
  std::string text;
};
using MaybeProblem = std::optional<Problem>;

// One write of a text to a stream; false when it was refused or cut short.
bool say(platform::Handle stream, std::string_view text);
// Why a file cannot be read or written, for its I/O error number.
std::string cannot_reason(std::uint16_t error);
// "1 pixel", "3 pixels".
std::string plural(std::int64_t count, const std::string& one, const std::string& many);

// What a read of part of a file gave.
struct Read {
  std::uint16_t error = 0;
  std::size_t delivered = 0;
  bool ended = false;  // the input ended before `count` bytes
};
// Appends up to `count` bytes to `bytes`, in as few reads as the input allows.
Read read_more(platform::Handle handle, std::vector<std::uint8_t>& bytes, std::size_t count);

// A whole file of at most `most` bytes into `bytes`: 0 or its I/O error number.
std::uint16_t read_whole_file(const std::string& name, std::vector<std::uint8_t>& bytes,
                              std::size_t most);
// A file made to hold exactly `bytes`: 0 or its I/O error number.
std::uint16_t write_whole_file(const std::string& name, const std::vector<std::uint8_t>& bytes);

// How a companion reports: the console lines of old, or one JSON document.
enum class Format { text, json };
// "text" or "json"; nullopt for anything else.
std::optional<Format> format_named(std::string_view name);

// One finding, as both forms show it: the console line is
// FILE: SEVERITY: MESSAGE; the JSON carries every field.
struct Finding {
  std::string severity;  // "error", "warning" or "note"
  std::string kind;      // a stable word, such as "pairs"
  std::string message;
  std::optional<int> cell, x, y;
  std::string fix_json = "null";  // the mechanical fix as a JSON value
  std::string file;               // where not the document's own file (a project's picture)
  // In a project: "animation" or "object", and its name.
  std::string set_kind, set_name;
  std::string pixels_json;  // where it has them, every pixel it concerns, as a JSON array
};
std::string console_line(const std::string& shown_file, const Finding& finding);

// JSON, written by hand: a text as a JSON string, a number or null.
std::string json_text(std::string_view text);
std::string json_number(std::optional<std::int64_t> number);
// The findings (severity "note" goes to "notes"), after `status`, as the
// members of the document; `rest` holds the program's own members, each
// ",\n  \"name\": value", and `error` the refusal, where there is one.
std::string json_document(int status, const std::string& file, const std::vector<Finding>& findings,
                          const std::string& error, const std::string& rest = "");

}  // namespace companion
