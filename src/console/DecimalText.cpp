#include "console/DecimalText.h"

#include <QRegularExpression>

namespace qtm {

double DecimalNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch()) return 0.0;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);  // QString::toDouble uses the C locale
    return ok ? value : 0.0;
}

std::optional<int> BusAddress(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 1 || value > 247) return std::nullopt;
    return value;
}

}  // namespace qtm
