// Dialog-template metrics: the controls of our dialogs are laid out in dialog units, which
// scale with the dialog font, so the windows keep their proportions whatever font fontconfig
// substitutes for the faces we ask for.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

namespace qtmui {

// Horizontal base unit (average character width) and vertical base unit (character
// height) of a dialog font, in pixels.
struct DialogBaseUnits {
    int cx = 0;
    int cy = 0;
};

// a × b / c rounded half away from zero, as the dialog manager scales its units.
int MulDiv(int a, int b, int c);

// The base units of a font whose average width and height are given: the average width is
// that of the 52 letters A-Z a-z, rounded to the nearest pixel.
DialogBaseUnits BaseUnitsFromMetrics(int widthOfLetters, int height);

// Base units of a real font (measured with QFontMetrics).
DialogBaseUnits BaseUnitsOf(const QFont& font);

// A rectangle in dialog units (x, y, width, height) converted to pixels: x × cx / 4 and
// y × cy / 8. Width and height are converted from the edges so neighbouring controls
// never overlap or leave a one-pixel seam through rounding.
QRect DluToPixels(const QRect& dlu, DialogBaseUnits base);

// The font our dialog templates name: "Open Sans" at 9 points.
QFont DialogFont();

// A font asked for by its face name. The Chinese face "宋体" is rarely installed here: the
// default face stands in for it, with the CJK face the set-up installs for Chinese texts.
QFont NamedFont(const QString& face, int points);

// "宋体" for texts of digits only, falling back to the CJK face whose digits are as narrow
// as 宋体's, so the large readings fit their group as they were designed to.
QFont NarrowDigitsFont(int points);

}  // namespace qtmui
