#include "throttle/TpsCalibration.h"

#include <cmath>

int TTpsCalibration::percent(int raw)
{
    int x = raw;
    if (x > tpsMax)
        x = tpsMax;
    // After the upper limit, so that with min > max the minimum wins.
    if (x < tpsMin)
        x = tpsMin;
    if (tpsMax == tpsMin) {
        tpsMin = 0;
        tpsMax = 255;
    }
    // Single precision, as the stored percentages were always computed.
    const float p = float(x - tpsMin) * 100.0f / float(tpsMax - tpsMin);
    return int(std::nearbyint(p));
}
