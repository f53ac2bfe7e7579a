// Places the controls of a dialog at their template rectangles (in dialog units) and gives
// the dialog its fixed template size, both converted with the dialog font's base units.
#pragma once

#include <QRect>
#include <initializer_list>

class QWidget;

namespace qtmui {

struct ControlPlacement {
    QWidget* control;
    QRect dlu;  // x, y, width, height in dialog units
};

// Sizes dialog to widthDlu × heightDlu of its own font and moves every control to its place.
void ApplyTemplateLayout(QWidget* dialog, int widthDlu, int heightDlu,
                         std::initializer_list<ControlPlacement> controls);

}  // namespace qtmui
