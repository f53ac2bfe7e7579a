#include "console/DecimalText.h"

#include <cmath>

#include "service/NumberText.h"
#include "service/ValueChecks.h"

namespace qtm {

double DecimalNumber(const QString& text) {
    // Infinities and NaN typed into a field would spoil an axis or a meter value; as before,
    // a field that holds no finite number reads as 0.
    const double value = LeadingNumber(text.toStdString());
    return std::isfinite(value) ? value : 0.0;
}

QString FixedText(double value, int decimals) {
    return QString::fromStdString(FormatFixed(value, decimals));
}

std::optional<int> BusAddress(const QString& text) {
    return CheckBusAddress(text.toStdString()).value;
}

}  // namespace qtm
