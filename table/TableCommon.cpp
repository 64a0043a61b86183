#include "table/TableCommon.h"

#include <cmath>

namespace tbl {

int roundEven(double x)
{
    const double r = std::nearbyint(x);
    if (!(r == r)) // NaN
        return 0;
    if (r >= 2147483647.0)
        return 2147483647;
    if (r <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(r);
}

int clampCodeR(double v)
{
    return clampCode(roundEven(v));
}

QString twoDecimals(double v)
{
    if (!std::isfinite(v))
        return QStringLiteral("0");
    // Round on the hundredths with ties to even, then print without trailing zeros;
    // QString::number is locale-independent, so the decimal mark is always '.'.
    const double hundredths = std::nearbyint(v * 100.0);
    QString s = QString::number(hundredths / 100.0, 'f', 2);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}

QString voltsText(double v)
{
    return twoDecimals(v) + QLatin1Char('V');
}

QString refVoltageLabel(double v)
{
    return QStringLiteral("Ref: ") + voltsText(v);
}

} // namespace tbl
