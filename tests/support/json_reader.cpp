// Reads JSON strictly (RFC 8259), and holds a companion's JSON report to its console lines.
#include "support/json_reader.hpp"

#include <algorithm>
#include <cstdlib>

namespace testing_support {

namespace {

struct Reader {
  const std::string& text;
  std::size_t at = 0;
  std::string problem;

  void space() {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\n' || text[at] == '\r' || text[at] == '\t'))
      ++at;
  }
  bool fail(const std::string& what) {
    if (problem.empty()) problem = what + " at byte " + std::to_string(at);
    return false;
  }
  bool take(char c) {
    space();
    if (at < text.size() && text[at] == c) return ++at, true;
    return false;
  }
  bool word(const std::string& w) {
    if (text.compare(at, w.size(), w) != 0) return fail("expected " + w);
    at += w.size();
    return true;
  }
  bool string(std::string& out) {
    if (!take('"')) return fail("expected a string");
    while (at < text.size() && text[at] != '"') {
      unsigned char c = static_cast<unsigned char>(text[at++]);
      if (c < 0x20) return fail("a control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at >= text.size()) return fail("an unfinished escape");
      char e = text[at++];
      const std::string simple = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
      if (std::size_t i = simple.find(e); i != std::string::npos) {
        out += meant[i];
      } else if (e == 'u' && at + 4 <= text.size()) {
        unsigned long code = std::strtoul(text.substr(at, 4).c_str(), nullptr, 16);
        at += 4;
        out += code < 0x80 ? std::string(1, static_cast<char>(code)) : "\xEF\xBF\xBD";
      } else {
        return fail("a bad escape");
      }
    }
    return at < text.size() ? (++at, true) : fail("an unfinished string");
  }
  bool number(JsonValue& value) {
    std::size_t start = at;
    if (text[at] == '-') ++at;
    while (at < text.size() && std::string("0123456789.eE+-").find(text[at]) != std::string::npos)
      ++at;
    if (at == start) return fail("expected a value");
    value.type = JsonValue::number;
    value.value = std::strtod(text.substr(start, at - start).c_str(), nullptr);
    return true;
  }
  bool value(JsonValue& out) {
    space();
    if (at >= text.size()) return fail("expected a value");
    char c = text[at];
    if (c == '"') return out.type = JsonValue::text, string(out.string);
    if (c == 'n') return word("null");
    if (c == 't' || c == 'f')
      return out.type = JsonValue::boolean, out.truth = c == 't', word(c == 't' ? "true" : "false");
    if (c == '[') {
      ++at;
      out.type = JsonValue::array;
      if (take(']')) return true;
      do {
        out.items.emplace_back();
        if (!value(out.items.back())) return false;
      } while (take(','));
      return take(']') || fail("expected ] or ,");
    }
    if (c == '{') {
      ++at;
      out.type = JsonValue::object;
      if (take('}')) return true;
      do {
        std::string name;
        if (!string(name) || !take(':')) return fail("expected a member");
        if (out.members.count(name)) return fail("a member twice: " + name);
        if (!value(out.members[name])) return false;
      } while (take(','));
      return take('}') || fail("expected } or ,");
    }
    return number(out);
  }
};

// The console lines of one stream that begin FILE: SEVERITY: , as "SEVERITY: MESSAGE".
std::vector<std::string> console_findings(const std::string& output, const std::string& file) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = output.substr(start, end - start);
    if (line.starts_with(file + ": ")) lines.push_back(line.substr(file.size() + 2));
  }
  return lines;
}

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
  static const JsonValue none;
  auto found = members.find(name);
  return found == members.end() ? none : found->second;
}

std::optional<JsonValue> parse_json(const std::string& text, std::string& problem) {
  Reader reader{text};
  JsonValue document;
  bool read = reader.value(document);
  reader.space();
  if (read && reader.at != text.size()) reader.fail("more after the document");
  problem = reader.problem;
  if (!problem.empty()) return std::nullopt;
  return document;
}

std::string json_disagreement(const std::string& json, int json_status, const std::string& output,
                              const std::string& error, int status, const std::string& file) {
  std::string problem;
  std::optional<JsonValue> document = parse_json(json, problem);
  if (!document) return "not JSON: " + problem + "\n" + json;
  if (json_status != status || (*document)["status"].value != status)
    return "status " + std::to_string(json_status) + " in JSON, " + std::to_string(status) +
           " on the console";
  std::vector<std::string> shown;
  for (const JsonValue& finding : (*document)["findings"].items)
    shown.push_back(finding["severity"].string + ": " + finding["message"].string);
  for (const JsonValue& note : (*document)["notes"].items)
    shown.push_back("note: " + note["message"].string);
  std::vector<std::string> said = console_findings(output, file);
  // the console shows at most 100 findings and then a count of the rest
  if (said.size() > 100) said.resize(100), shown.resize(std::min<std::size_t>(shown.size(), 100));
  std::sort(shown.begin(), shown.end());
  std::sort(said.begin(), said.end());
  if (shown != said) return "the findings differ from the console's lines:\n" + json;
  const JsonValue& refusal = (*document)["error"];
  std::string refused = refusal.type == JsonValue::text ? refusal.string : "";
  if (!refused.empty() && error.find(refused) == std::string::npos)
    return "the error \"" + refused + "\" is not on standard error: " + error;
  if (refused.empty() && status == 2 && !error.empty()) return "no error for status 2:\n" + json;
  return "";
}

}  // namespace testing_support
