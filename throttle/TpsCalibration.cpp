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

TTpsCalibration pedalCalibration(const std::vector<int> &samples)
{
    TTpsCalibration c;
    c.tpsMin = 255;
    c.tpsMax = 0;
    for (int v : samples) {
        if (v < c.tpsMin)
            c.tpsMin = v;
        if (v > c.tpsMax)
            c.tpsMax = v;
    }
    if (c.tpsMax - c.tpsMin < 20) {
        c.tpsMin = 0;
        c.tpsMax = 255;
    }
    return c;
}
