// The grid a sheet seems drawn on, from the gutters of background between
// its drawings: the runs of columns (and rows) that hold drawing, their
// step, and the cell that holds each run.
#include "sheet/proposal.hpp"

#include <algorithm>
#include <map>
#include <vector>

namespace sheet {

namespace {

// A pixel's value to compare: its palette index, or its colour.
std::uint32_t value_at(const picture::Picture& picture, int x, int y) {
  if (picture.bits != 0)
    return picture.indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                           static_cast<std::size_t>(x)];
  return picture::colour_at(picture, x, y);
}

// The background: transparent where any pixel is, else the value most
// common on the picture's edges, where a sheet's margin or its cells' empty
// parts lie.
std::uint32_t background_of(const picture::Picture& picture) {
  std::map<std::uint32_t, std::int64_t> counts;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      bool edge = x == 0 || y == 0 || x == picture.width - 1 || y == picture.height - 1;
      std::uint32_t value = value_at(picture, x, y);
      if (picture.bits == 0 && value == picture::transparent) return value;
      if (edge) ++counts[value];
    }
  return std::max_element(counts.begin(), counts.end(),
                          [](const auto& a, const auto& b) { return a.second < b.second; })
      ->first;
}

// The runs of drawn lines along one side: [first, last + 1) each.
std::vector<std::pair<int, int>> runs_of(const std::vector<bool>& drawn) {
  std::vector<std::pair<int, int>> runs;
  for (int at = 0; at < static_cast<int>(drawn.size()); ++at) {
    if (!drawn[static_cast<std::size_t>(at)]) continue;
    if (runs.empty() || runs.back().second != at) runs.emplace_back(at, at);
    runs.back().second = at + 1;
  }
  return runs;
}

struct Side {
  int cell, origin, spacing;
};

// The origin that puts run N in cell N / step from the cell's start, the
// cells `step` apart: each cell starts where its run does, or before; the
// first that any run starts at its cell's very start. Nothing where a run
// leaves its cell, or the last cell the picture.
std::optional<int> origin_for(const std::vector<std::pair<int, int>>& runs, int cell, int step,
                              int length) {
  // each run's cell: its distance from the first run's, in steps, rounded
  int origin = runs[0].first;
  for (const auto& [first, end] : runs)
    origin = std::min(origin, first - (first - runs[0].first + step / 2) / step * step);
  if (origin < 0) return std::nullopt;
  for (const auto& [first, end] : runs) {
    int start = origin + (first - origin) / step * step;
    if (end > start + cell) return std::nullopt;
  }
  int last = origin + (runs.back().first - origin) / step * step;
  if (last + cell > length) return std::nullopt;
  return origin;
}

// The cells along one side that hold every run, a sprite's size (`cell`, the
// sprite at each cell's start: a larger cell is the same cells with more
// spacing), repeating at the smallest step between runs' starts that holds
// each run in a cell of its own. One run: one cell, from the picture's edge
// where it fits there. A run wider than a sprite is no sprite's drawing.
std::optional<Side> side_of(const std::vector<std::pair<int, int>>& runs, int cell, int length) {
  if (runs.empty()) return std::nullopt;
  for (const auto& [first, end] : runs)
    if (end - first > cell) return std::nullopt;
  if (runs.size() == 1) {
    int origin = runs[0].second <= cell ? 0 : runs[0].first;
    if (origin + cell > length) return std::nullopt;
    return Side{cell, origin, 0};
  }
  std::vector<int> steps;
  for (std::size_t n = 1; n < runs.size(); ++n)
    if (runs[n].first - runs[n - 1].first >= cell)
      steps.push_back(runs[n].first - runs[n - 1].first);
  std::sort(steps.begin(), steps.end());
  for (int step : steps)
    if (std::optional<int> origin = origin_for(runs, cell, step, length))
      if (std::adjacent_find(runs.begin(), runs.end(), [&](const auto& one, const auto& next) {
            return (one.first - *origin) / step == (next.first - *origin) / step;
          }) == runs.end())
        return Side{cell, *origin, step - cell};
  return std::nullopt;
}

}  // namespace

std::optional<GridProposal> propose_grid(const picture::Picture& picture) {
  if (picture.width < 24 || picture.height < 21) return std::nullopt;
  std::uint32_t background = background_of(picture);
  std::vector<bool> columns(static_cast<std::size_t>(picture.width)),
      rows(static_cast<std::size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      if (value_at(picture, x, y) != background)
        columns[static_cast<std::size_t>(x)] = rows[static_cast<std::size_t>(y)] = true;
  std::optional<Side> across = side_of(runs_of(columns), 24, picture.width);
  std::optional<Side> down = side_of(runs_of(rows), 21, picture.height);
  if (!across || !down) return std::nullopt;
  return GridProposal{across->cell, down->cell,      across->origin,
                      down->origin, across->spacing, down->spacing};
}

}  // namespace sheet
