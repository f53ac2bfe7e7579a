// Sizes of the main window's three layouts (full, collapsed below the expand button, and
// the compact "QTM300" one), from rectangles taken when the window opened.
#pragma once

#include <QRect>
#include <QSize>

namespace qtm {

// Collapsed: full width, the client area ending just below the expand button (the window
// frame's lower edge adds the rest of a 10-pixel margin), so the fit groups are out of
// sight. Rectangles are in the window's own coordinates.
QSize CollapsedSize(QSize full, QRect expandButton);

// Compact: the window ends a small margin right of and below the factory-settings group, so
// the port set-up and the meter's information field stay in view and the neighbouring
// groups do not peek in.
QSize CompactSize(QRect factoryGroup, QSize margin);

}  // namespace qtm
