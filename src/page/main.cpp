// The page's one WebAssembly program, so that the page carries one module:
// quorvel-check or quorvel-sheet when started by that name; quorvel-colours,
// which tells in JSON the code each colour argument gives, as the converter
// reads it, for the page's colour panel; quorvel-picture, which tells the page what
// a picture holds (describe.cpp); otherwise the converter.
#include <string>
#include <string_view>

#include "check/program.hpp"
#include "driver/driver.hpp"
#include "page/describe.hpp"
#include "services/console.hpp"
#include "services/platform/platform.hpp"
#include "sheet/program.hpp"

namespace {

// A colour argument's code, and whether it is a number as written (number,
// negative, not-a-number or too-large), each as one JSON object.
int print_colours(int argc, char** argv) {
  constexpr const char* kinds[] = {"number", "negative", "not-a-number", "too-large"};
  std::string items;
  for (int i = 1; i < argc; ++i)
    items += std::string(i == 1 ? "" : ", ") +
             "{\"code\": " + std::to_string(colour_number(argv[i])) + ", \"kind\": \"" +
             kinds[read_colour(argv[i]).kind] + "\"}";
  std::string json = "{\"colours\": [" + items + "]}\n";
  return platform::write_console(platform::standard_output(), json.data(), json.size()) ? 0 : 1;
}

bool started_as(char** argv, std::string_view name) {
  return std::string_view(argv[0]).ends_with(name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 0 && started_as(argv, "quorvel-check")) return run_check(argc, argv);
  if (argc > 0 && started_as(argv, "quorvel-sheet")) return run_sheet(argc, argv);
  if (argc > 0 && started_as(argv, "quorvel-colours")) return print_colours(argc, argv);
  if (argc > 0 && started_as(argv, "quorvel-picture")) return describe_picture(argc, argv);
  run_program(argc, argv);
  normal_end();
}
