// The grid a sheet seems drawn on: where its cells are separated by gutters
// of its background, the cell size, origin and spacing that hold every
// drawing, proposed to the person, never taken silently.
#pragma once

#include <optional>

#include "picture/picture.hpp"

namespace sheet {

struct GridProposal {
  int cell_width = 24, cell_height = 21;
  int origin_x = 0, origin_y = 0, spacing_x = 0, spacing_y = 0;
};

// Nothing where no regular grid of cells holds the drawings, one in each
// (the background: transparent, or the most common colour or index on the
// picture's edges). The cells
// are a sprite's 24 by 21, the gutters their spacing: a larger cell whose
// sprite sits at its top left makes the same sprites.
std::optional<GridProposal> propose_grid(const picture::Picture& picture);

}  // namespace sheet
