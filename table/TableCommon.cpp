#include "table/TableCommon.h"

#include "link/DeviceInfo.h"

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
    return shortestDecimal(v, 2);
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
