// Intake-air and coolant temperature corrections: one signed byte per bin of
// four sensor codes, edited within -30..+30.
#include "table/Table_iat_ect_corr.h"

using namespace tbl;

int Table::correctionSlot(TempTarget target, int sensorCode)
{
    return (target == TempTarget::IAT ? kIatBase : kEctBase) + clampInt(sensorCode, 0, 255) / 4;
}

int Table::correctionAt(TempTarget target, int sensorCode, int which) const
{
    return signedByte(image(which)[at(correctionSlot(target, sensorCode))]);
}

bool Table::applyTemperatureCorrection(TempTarget target, int c, TWindowState &w)
{
    if (w.autocorrDown) {
        w.autocorrDown = false;
        w.autocorrReleased = true;
    }
    w.applyArmed = false;
    w.autocorrEnabled = false;
    if (!w.recording)
        return false; // the correction needs a current sensor code
    takeSnapshot();
    const int code = target == TempTarget::IAT ? operatingPoint_.iatCode : operatingPoint_.ectCode;
    const int n = correctionSlot(target, code);
    image1_[at(n)] = addLimited(signedByte(image1_[at(n)]), c, kCorrMin, kCorrMax);
    refresh();
    w.correction = 0;
    quickWrite();
    takeSnapshot(); // every change is followed by a snapshot, so redo reaches it
    return true;
}
