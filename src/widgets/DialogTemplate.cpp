#include "widgets/DialogTemplate.h"

#include <QFontMetrics>
#include <QStringList>
#include <cstdlib>

namespace qtmui {

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;  // the dialog manager's answer for a zero divisor
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogBaseUnits BaseUnitsFromMetrics(int widthOfLetters, int height) {
    // Rounded average of 52 letters: (w / 26 + 1) / 2.
    return DialogBaseUnits{(widthOfLetters / 26 + 1) / 2, height};
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return BaseUnitsFromMetrics(width, metrics.height());
}

QRect DluToPixels(const QRect& dlu, DialogBaseUnits base) {
    const int left = MulDiv(dlu.x(), base.cx, 4);
    const int top = MulDiv(dlu.y(), base.cy, 8);
    const int right = MulDiv(dlu.x() + dlu.width(), base.cx, 4);
    const int bottom = MulDiv(dlu.y() + dlu.height(), base.cy, 8);
    return QRect(left, top, right - left, bottom - top);
}

QFont DialogFont() {
    return NamedFont(QStringLiteral("Open Sans"), 9);
}

QFont NamedFont(const QString& face, int points) {
    QFont font;
    QStringList families{face};
    if (face == QStringLiteral("宋体")) {
        // The default face before the CJK one: the CJK face has an empty glyph for ℃.
        families << QStringLiteral("SimSun") << QStringLiteral("DejaVu Sans")
                 << QStringLiteral("WenQuanYi Micro Hei");
    }
    font.setFamilies(families);
    font.setPointSize(points);
    return font;
}

QFont NarrowDigitsFont(int points) {
    QFont font;
    font.setFamilies(
        {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(points);
    return font;
}

}  // namespace qtmui
