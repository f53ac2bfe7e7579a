#include "console/WindowGeometry.h"

namespace qtm {

QSize CollapsedSize(QSize full, QRect expandButton) {
    return QSize(full.width(), expandButton.y() + expandButton.height() + 3);
}

QSize CompactSize(QRect factoryGroup, QSize margin) {
    return QSize(factoryGroup.x() + factoryGroup.width() + margin.width(),
                 factoryGroup.y() + factoryGroup.height() + margin.height());
}

}  // namespace qtm
