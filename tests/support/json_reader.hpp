// A strict JSON reader for the tests: a document either parses whole into
// values or is refused, so that a test can tell valid JSON from nearly-JSON.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct JsonValue {
  enum Type { null, boolean, number, text, array, object } type = null;
  bool truth = false;
  double value = 0;
  std::string string;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  const JsonValue& operator[](const std::string& name) const;  // a null where there is none
};

// The document, or nullopt with `problem` saying where it stops being JSON.
std::optional<JsonValue> parse_json(const std::string& text, std::string& problem);

// What a companion's --format json run must agree with in its console run:
// "" when the document is valid JSON, has the console run's status, one
// finding or note a console line with that line's text, and the refusal on
// standard error as its error; otherwise what differs.
std::string json_disagreement(const std::string& json, int json_status, const std::string& output,
                              const std::string& error, int status, const std::string& file);

}  // namespace testing_support
