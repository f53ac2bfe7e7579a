// Pure pixel arithmetic of a one-pixel polyline: fewer vertices that light exactly the pixels
// the full vertex list lights.
#pragma once

#include <QPoint>
#include <QRect>
#include <cstddef>
#include <vector>

namespace qtmchart {

// Reduces, in place, the vertices of a one-pixel, solid, aliased polyline without changing a
// single drawn pixel, and returns how many are left at the front of `pixels`. `whole` is the
// area in which the rasteriser draws a segment without cutting it first (the image drawn
// into); segments that leave it are cut, which changes how they join their neighbours.
//
// A vertex on the same pixel as the one before it is dropped (it adds no segment). Each run
// of consecutive vertices in one pixel column is a chain of vertical segments, of which at
// most six vertices stay, in their order:
//  - a run inside `whole` keeps its first and last vertex, a vertex on its top row and, if
//    the line turns back up at its bottom row, the first vertex there; and also its second
//    and last but one vertex when the shorter chain would leave its first or last segment
//    running the other way;
//  - any other run keeps its first two and last two vertices and the first vertex on its top
//    and on its bottom row among the others.
//
// Why that is exact: a chain of vertical segments lights its column from its top row to its
// bottom row, the bottom row only where the line turns back up there, and a segment's start
// pixel as the segment before it decides. The rasteriser carries the direction and the end
// pixel of each segment into the next one: keeping the start and the direction of the run's
// first segment, and the end and the direction of its last one, keeps the segments into and
// out of the column, and everything after them, as they were. A segment that has to be cut
// joins differently, so there the run's first and last segments stay whole.
//
// A long record has many vertices per column: this keeps the polyline as short as the
// plotting area is wide.
std::size_t ReducePolylineColumns(QPoint* pixels, std::size_t count, const QRect& whole);

// The same on a copy.
std::vector<QPoint> ReducedPolylineColumns(const std::vector<QPoint>& pixels, const QRect& whole);

}  // namespace qtmchart
