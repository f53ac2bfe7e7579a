// Sizes of the main window's three layouts (full, collapsed below the expand button, and
// the compact "QTM300" one), from rectangles taken when the window opened.
#pragma once

#include <QRect>
#include <QSize>

namespace qtm {

// Collapsed: full width, ending 10 pixels below the expand button. Rectangles are in the
// window's own coordinates.
QSize CollapsedSize(QSize full, QRect expandButton);

// Compact: the window ends a margin right of and below the factory-settings group, so the
// port set-up and the meter's information field stay in view.
QSize CompactSize(QRect factoryGroup, int margin);

}  // namespace qtm
