#include "table/TableParams.h"

#include "table/TableCommon.h"

#include <climits>

namespace tbl {

int paramShown(int param, int stored)
{
    switch (param) {
    case ParamEnrichment:
        return roundEven((stored - 128) * 0.78125);
    case ParamEnleanment:
    case ParamSmoothMaf:
    case ParamSmoothTps:
    case ParamSmoothRpm:
        return roundEven(stored * 0.78125);
    default:
        return stored;
    }
}

int paramStored(int param, int shown)
{
    switch (param) {
    case ParamEnrichment: {
        const int v = 128 + roundEven(shown * 1.28);
        return v > 255 ? 255 : v;
    }
    case ParamEnleanment:
    case ParamSmoothMaf:
    case ParamSmoothTps:
    case ParamSmoothRpm:
        return roundEven(shown * 1.28);
    case ParamTpsThreshold:
        return 255;
    default:
        return shown;
    }
}

QString paramText(int param, int stored)
{
    return QString::number(paramShown(param, stored));
}

int paramFromText(int param, int stored, const QString &text)
{
    const int shown = parseLeadingInt(text);
    if (param != ParamTpsThreshold && shown == paramShown(param, stored))
        return stored;
    return paramStored(param, shown);
}

int parseLeadingInt(const QString &text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long v = 0;
    while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
        v = v * 10 + (text.at(i).unicode() - '0');
        if (v > INT_MAX)
            v = static_cast<long long>(INT_MAX) + 1;
        ++i;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return static_cast<int>(v);
}

namespace {
const TrackBarInfo kTrackBars[TrackBarCount] = {
    {"TrackBarMafSm", "MaskEditSmoothMaf", "LabelMafSm", ParamSmoothMaf, 0, 100, 100},
    {"TrackBarTpsSm", "MaskEditTps", "LabelTpsSm", ParamSmoothTps, 0, 100, 100},
    {"TrackBarRpmSm", "MaskEditRpm", "LabelRpmSm", ParamSmoothRpm, 0, 100, 100},
    {"TrackBarMafTime", "MaskEditMafTime", "LabelMafViborka", ParamMafTime, 4, 150, 4},
    {"TrackBarMafPorog", "MaskEditTreshold", "LabelMafPorog", ParamThreshold, 5, 100, 5},
    {"TrackBarEnrichment", "MaskEditEnrichmentFactor", "LabelMafEnrichment", ParamEnrichment, 0, 100, 0},
    {"TrackBarEnleanment", "MaskEditEnleanmentFactor", "LabelMafEnleanment", ParamEnleanment, 0, 100, 50},
};
} // namespace

const TrackBarInfo &trackBarInfo(int id)
{
    return kTrackBars[clampInt(id, 0, TrackBarCount - 1)];
}

QString trackBarEditText(int position)
{
    return QString::number(position);
}

QString trackBarLabelText(int id, int position, bool english)
{
    switch (id) {
    case TrackBarMafTime:
        return twoDecimals(position * 0.01) + (english ? QStringLiteral("s") : QStringLiteral("\u0441"));
    case TrackBarEnrichment:
        return QLatin1Char('+') + QString::number(position) + QLatin1Char('%');
    case TrackBarEnleanment:
        return QLatin1Char('-') + QString::number(position) + QLatin1Char('%');
    default:
        return QString::number(position);
    }
}

int trackBarPositionFromText(int id, const QString &text, bool *ok)
{
    bool good = false;
    const int v = text.trimmed().toInt(&good);
    if (ok)
        *ok = good;
    const TrackBarInfo &s = trackBarInfo(id);
    return good ? clampInt(v, s.min, s.max) : s.designPosition;
}

} // namespace tbl
