#include "widgets/GroupFrame.h"

namespace qtmui {

GroupFrameGeometry ComputeGroupFrame(EdgeRect rect, int captionWidth, int captionHeight,
                                     CaptionAlign align, bool flat) {
    GroupFrameGeometry g;
    const int l = rect.left;
    const int r = rect.right;
    const int b = rect.bottom;
    const int y = rect.top + captionHeight / 2;
    g.frameY = y;

    switch (align) {
        case CaptionAlign::Right:
            g.captionRight = r - 10;
            g.captionLeft = g.captionRight - captionWidth;
            break;
        case CaptionAlign::Left:
            g.captionLeft = l + 10;
            g.captionRight = g.captionLeft + captionWidth;
            break;
        case CaptionAlign::Center:
            g.captionLeft = (r - captionWidth - l) / 2;
            g.captionRight = g.captionLeft + captionWidth;
            break;
    }
    const int cl = g.captionLeft;
    const int cr = g.captionRight;

    if (flat) {
        // A black outline with a light line one pixel inside it.
        g.darkPass.push_back({{cl, y}, {l, y}, {l, b}, {r, b}, {r, y}, {cr, y}});
        g.lightPass.push_back({{cl, y + 1},
                               {l + 1, y + 1},
                               {l + 1, b - 1},
                               {r - 1, b - 1},
                               {r - 1, y + 1},
                               {cr, y + 1}});
    } else {
        // Etched look: a shadow line with a highlight just below/right of it.
        g.darkPass.push_back({{cl, y}, {l, y}, {l, b - 1}, {r - 1, b - 1}, {r - 1, y}, {cr, y}});
        g.lightPass.push_back({{cl, y + 1}, {l + 1, y + 1}, {l + 1, b - 1}});
        g.lightPass.push_back({{l, b}, {r, b}, {r, y - 1}});
        g.lightPass.push_back({{r - 2, y + 1}, {cr, y + 1}});
    }
    return g;
}

}  // namespace qtmui
