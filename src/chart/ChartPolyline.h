// Pure pixel arithmetic of a one-pixel polyline: the fewest vertices that light exactly the
// pixels the full vertex list lights.
#pragma once

#include <QPoint>
#include <cstddef>
#include <vector>

namespace qtmchart {

// The vertices of a one-pixel, solid, aliased polyline through `pixels`, reduced without
// changing a single drawn pixel. A vertex on the same pixel as the one before it is dropped
// (it adds no segment). Then each run of consecutive vertices in one pixel column keeps at
// most six, in their order: its first two, the first vertex on its top row and the first on
// its bottom row among the vertices between its ends, and its last two.
//
// Why that is exact: the segments inside a run are vertical; chained, they light the column
// from the run's top row to its bottom row, the bottom row only where the line turns there
// (and the ends as the segments next to them decide). The kept extremes keep those rows and
// those turns. The first and the last segment of the run are kept whole because the
// rasteriser carries the direction and the last pixel of one segment into the next: so the
// segments into and out of the column start from the same state and light the same pixels.
//
// A long record has many vertices per column: this keeps the polyline as short as the
// plotting area is wide.
std::vector<QPoint> ReducePolylineColumns(const QPoint* pixels, std::size_t count);

}  // namespace qtmchart
