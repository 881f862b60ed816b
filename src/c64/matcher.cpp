// Matches a picture's colours to the C64's, and counts a picture by them.
#include "c64/matcher.hpp"

#include <algorithm>
#include <map>

namespace c64 {

namespace {

// How far apart two colours are: the sum of their channels' squared differences.
int distance(std::uint32_t rgb, std::uint32_t other) {
  int sum = 0;
  for (int shift : {16, 8, 0}) {
    int d = static_cast<int>(rgb >> shift & 255) - static_cast<int>(other >> shift & 255);
    sum += d * d;
  }
  return sum;
}

}  // namespace

int Matcher::remembered(std::uint32_t rgb) {
  auto found = known.find(rgb);
  int result = found != known.end() ? found->second : match(rgb);
  if (found == known.end() && known.size() < (1 << 16)) known.emplace(rgb, result);
  last = rgb;
  last_number = result;
  return result;
}

int Matcher::match(std::uint32_t rgb) const {
  if (palette != nullptr) return colour_in(*palette, rgb).value_or(-1);
  int best = -1, best_distance = 0;
  for (const Palette& each : palettes)
    for (int n = 0; n < 16; ++n) {
      std::uint32_t published = each.rgb[static_cast<std::size_t>(n)];
      if (!within_tolerance(rgb, published)) continue;
      int apart = distance(rgb, published);
      if (best < 0 || apart < best_distance) best = n, best_distance = apart;
    }
  return best;
}

namespace {

bool holds_all(const Palette& palette, const std::unordered_set<std::uint32_t>& colours) {
  return std::all_of(colours.begin(), colours.end(),
                     [&palette](std::uint32_t rgb) { return colour_in(palette, rgb).has_value(); });
}

// The colours in a fixed order, so that the colour a message names does not
// depend on the hash table.
std::vector<std::uint32_t> in_order(const std::unordered_set<std::uint32_t>& colours) {
  std::vector<std::uint32_t> sorted(colours.begin(), colours.end());
  std::sort(sorted.begin(), sorted.end());
  return sorted;
}

}  // namespace

Matcher matcher_for(const std::unordered_set<std::uint32_t>& colours, const Palette* chosen) {
  Matcher matcher;
  matcher.palette = chosen;
  if (chosen != nullptr || colours.size() > 4096) return matcher;
  for (const Palette& palette : palettes)
    if (holds_all(palette, colours)) {
      matcher.palette = &palette;
      break;
    }
  return matcher;
}

std::vector<Disagreement> disagreements(const Matcher& matcher,
                                        const std::unordered_set<std::uint32_t>& colours) {
  std::vector<Disagreement> found;
  if (matcher.palette == nullptr || colours.size() > 4096) return found;
  std::vector<std::uint32_t> sorted = in_order(colours);
  for (const Palette& palette : palettes) {
    if (&palette == matcher.palette || !holds_all(palette, colours)) continue;
    for (std::uint32_t rgb : sorted) {
      int number = *colour_in(*matcher.palette, rgb), its_number = *colour_in(palette, rgb);
      if (number != its_number) {
        found.push_back({&palette, rgb, number, its_number});
        break;
      }
    }
  }
  return found;
}

Nearest nearest(std::uint32_t rgb) {
  Nearest best{0, &palettes[0]};
  for (const Palette& palette : palettes)
    for (int n = 0; n < 16; ++n)
      if (distance(rgb, palette.rgb[static_cast<std::size_t>(n)]) <
          distance(rgb, best.palette->rgb[static_cast<std::size_t>(best.number)]))
        best = {n, &palette};
  return best;
}

const Palette* palette_named(std::string_view name) {
  for (const Palette& palette : palettes)
    if (palette.name == name) return &palette;
  return nullptr;
}

std::vector<std::pair<int, std::int64_t>> census(const picture::Picture& picture) {
  std::unordered_set<std::uint32_t> distinct;
  std::uint32_t last = picture::transparent;
  for (int y = 0; y < picture.height && distinct.size() <= 4096; ++y)
    for (int x = 0; x < picture.width; ++x) {
      std::uint32_t rgb = picture::colour_at(picture, x, y);
      if (rgb != last && rgb != picture::transparent) distinct.insert(rgb);
      last = rgb;
    }
  Matcher matcher = matcher_for(distinct);
  std::map<int, std::int64_t> counts;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      std::uint32_t rgb = picture::colour_at(picture, x, y);
      ++counts[rgb == picture::transparent ? census_transparent : matcher.number(rgb)];
    }
  std::vector<std::pair<int, std::int64_t>> by_count(counts.begin(), counts.end());
  std::stable_sort(by_count.begin(), by_count.end(),
                   [](const auto& one, const auto& other) { return one.second > other.second; });
  return by_count;
}

}  // namespace c64
