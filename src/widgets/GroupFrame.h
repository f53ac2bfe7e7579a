// The geometry of a self-painted group box frame: where the frame line runs, where the
// caption sits and the lines of each drawing pass. Pure arithmetic, so it is tested
// without a widget.
#pragma once

#include <QPoint>
#include <vector>

namespace qtmui {

enum class CaptionAlign { Left, Center, Right };

// A rectangle with exclusive right and bottom edges, as the frame arithmetic uses them.
struct EdgeRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

using Polyline = std::vector<QPoint>;

struct GroupFrameGeometry {
    int frameY = 0;       // the frame's top line, through the middle of the caption
    int captionLeft = 0;  // the caption's span, left open in the frame line
    int captionRight = 0;
    // The dark pass (shadow, or black for a flat box) and the light pass drawn after it.
    std::vector<Polyline> darkPass;
    std::vector<Polyline> lightPass;
};

// rect: the box in its own coordinates; captionWidth and captionHeight: the extent of the
// caption text (already padded with a space on each side).
GroupFrameGeometry ComputeGroupFrame(EdgeRect rect, int captionWidth, int captionHeight,
                                     CaptionAlign align, bool flat);

}  // namespace qtmui
