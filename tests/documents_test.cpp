// The documents and the other languages that repeat the program's facts say
// what the program says: every exit status, the fault numbers, the version,
// the C64 palettes.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "c64/palettes.hpp"
#include "services/exit_status.hpp"
#include "support/scenario.hpp"

namespace {

std::string source_file(const std::string& name) {
  std::ifstream stream(std::string(QUORVEL_SOURCE_DIR) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

// The part of `text` from the line that starts with `heading` to the next
// line that starts like a heading of its level.
std::string section(const std::string& text, const std::string& heading, const std::string& next) {
  std::size_t start = text.find("\n" + heading);
  if (start == std::string::npos) return "";
  std::size_t end = text.find("\n" + next, start + heading.size() + 1);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Every number, and every range "150–162" or "150 to 162", that `pattern`'s
// first group finds.
std::set<int> numbers_in(const std::string& text, const std::string& pattern) {
  std::set<int> found;
  for (const auto& row : testing_support::all_matches(text, pattern)) {
    const std::string& cell = row[1];
    for (const auto& range : testing_support::all_matches(cell, "([0-9]+)(–| \" to \" |-)([0-9]+)"))
      for (int n = std::stoi(range[1]); n <= std::stoi(range[3]); ++n) found.insert(n);
    for (const auto& number : testing_support::all_matches(cell, "[0-9]+"))
      found.insert(std::stoi(number[0]));
  }
  return found;
}

std::set<int> program_statuses() {
  std::set<int> statuses;
  for (const exit_status::Named& status : exit_status::all) statuses.insert(status.number);
  return statuses;
}

void expect_every_status_in(const std::set<int>& documented, const std::string& where) {
  for (const exit_status::Named& status : exit_status::all)
    EXPECT_TRUE(documented.count(status.number)) << where << " lacks " << status.name;
}

TEST(Documents, ReadmeAndManualPageListEveryExitStatus) {
  std::string readme = section(source_file("README.md"), "## Exit statuses", "## ");
  expect_every_status_in(numbers_in(readme, "\n\\| ([0-9–, ]+) \\|"), "README.md");
  std::string manual = section(source_file("quorvel.1"), ".SH EXIT STATUS", ".SH ");
  expect_every_status_in(numbers_in(manual, "\n\\.BR? ([^\n]+)"), "quorvel.1");
}

// The page may explain fewer statuses, but none the program does not have.
TEST(Documents, PageAndWebAssemblyHostNameOnlyTheProgramsStatuses) {
  std::string page = source_file("web/page.mjs");
  auto meanings = testing_support::all_matches(page, R"(statusMeanings = \{([^}]*)\})");
  ASSERT_FALSE(meanings.empty());
  std::set<int> statuses = program_statuses();
  for (int number : numbers_in(meanings[0][1], "([0-9]+):"))
    EXPECT_TRUE(statuses.count(number)) << "web/page.mjs explains " << number;
  std::string host = source_file("src/services/platform/wasm_host.js");
  EXPECT_EQ(numbers_in(host, "return ([0-9]+);"),
            (std::set<int>{exit_status::arithmetic_fault, exit_status::memory_fault,
                           exit_status::invalid_instruction}));
}

TEST(Documents, EveryReleaseDocumentHasTheReleaseVersion) {
  std::string version = QUORVEL_RELEASE_VERSION;
  std::string short_version = version.substr(0, version.rfind('.'));
  const struct {
    std::string file, mark;
  } cases[] = {
      {"quorvel.1", "\"quorvel " + version + "\""},
      {"quorvel-check.1", "\"quorvel " + version + "\""},
      {"quorvel-sheet.1", "\"quorvel " + version + "\""},
      {"packaging/debian/changelog", "quorvel (" + version + "-1)"},
      {"CHANGELOG.md", "## " + version + " "},
      {"README.md", "quorvel_" + version + "-1_amd64.deb"},
      {"README.md", "quorvel-" + short_version + "-linux-x86_64.tar.gz"},
      {"README.md", "quorvel-" + short_version + "-win64.zip"},
      {"README.md", "quorvel-" + version + ".tgz"},
  };
  for (const auto& c : cases)
    EXPECT_NE(source_file(c.file).find(c.mark), std::string::npos) << c.file << " lacks " << c.mark;
}

// Every section of the README that the companions send their users to is one.
TEST(Documents, EverySectionTheProgramsPointToIsInTheReadme) {
  std::string readme = source_file("README.md");
  std::set<std::string> pointed;
  for (const char* file :
       {"src/check/checks.cpp", "src/sheet/sheet.cpp", "src/sheet/program.cpp"}) {
    std::string source = source_file(file);
    for (const auto& pointer :
         testing_support::all_matches(source, R"re(README: \\"([^\\]+)\\")re"))
      pointed.insert(pointer[1]);
  }
  EXPECT_GE(pointed.size(), 6u);
  for (const std::string& heading : pointed)
    EXPECT_TRUE(readme.find("\n## " + heading + "\n") != std::string::npos ||
                readme.find("\n### " + heading + "\n") != std::string::npos)
        << "README.md has no section \"" << heading << "\"";
}

}  // namespace

namespace {

// The README names every palette of the table, in its order, and gives the
// two most common colour by colour, as the table holds them.
TEST(Documents, ReadmeGivesThePalettesAsTheTableHoldsThem) {
  std::string palettes = section(source_file("README.md"), "### C64 palettes", "## ");
  std::string names;
  for (const auto& name : testing_support::all_matches(palettes, "\\(?`([a-z0-9-]+)`\\)?"))
    if (names.find(" " + name[1] + " ") == std::string::npos) names += " " + name[1] + " ";
  std::string expected;
  for (const c64::Palette& palette : c64::palettes)
    expected += " " + std::string(palette.name) + " ";
  EXPECT_NE(names.find(expected), std::string::npos) << names;
  for (std::size_t n = 0; n < 16; ++n) {
    char row[96];
    std::snprintf(row, sizeof row, "| %zu | %s | `#%06X` | `#%06X` |", n,
                  std::string(c64::colour_names[n]).c_str(), c64::palettes[0].rgb[n],
                  c64::palettes[1].rgb[n]);
    EXPECT_NE(palettes.find(row), std::string::npos) << row;
  }
}

}  // namespace

// Every key the project file's reader knows is documented, in the manual
// page's section and in the README's example or list.
TEST(Documents, ManualPageAndReadmeNameEveryProjectKey) {
  std::string reader = source_file("src/sheet/project_file.cpp");
  std::string manual = section(source_file("quorvel-sheet.1"), ".SH PROJECT FILE", ".SH ");
  std::string readme = section(source_file("README.md"), "## Many sprites", "### One picture");
  std::set<std::string> keys;
  for (const auto& list : testing_support::all_matches(reader, R"(unknown_keys\([^{]*\{([^}]*)\})"))
    for (const auto& key : testing_support::all_matches(list[1], "\"([a-z0-9]+)\""))
      keys.insert(key[1]);
  EXPECT_GT(keys.size(), 20u);
  for (const std::string& key : keys) {
    bool in_manual = std::regex_search(
        manual, std::regex("(\\.BR? |\\\\fB|\\[\\[sheet\\.|\\[)" + key + "(\\\\fR|\\]| |,|\n)"));
    EXPECT_TRUE(in_manual) << key << " is not in quorvel-sheet.1's PROJECT FILE";
    bool in_readme = std::regex_search(
        readme, std::regex("(\n#? ?|\\[\\[sheet\\.|\\[|  )" + key + "( = |\\]\\]|\\])"));
    EXPECT_TRUE(in_readme) << key << " is not in the README's project example";
  }
}
