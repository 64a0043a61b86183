#include "log/Oxygensensor.h"

#include <cmath>

#include "link/DeviceInfo.h"
#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"

namespace o2 {
namespace {

// Ratio to the stoichiometric 14.7 as a signed percentage: 133 gives "11%".
QString mixturePercent(int value)
{
    return QString::number(int(std::nearbyint((147.0 / value - 1.0) * 100.0))) + QLatin1Char('%');
}

} // namespace

QStringList sensorNames(bool english)
{
    // Product names are the same in both languages.
    return {english ? QStringLiteral("0-1V Signal") : QString::fromUtf8("Сигнал 0-1V"),
            QStringLiteral("Innovate MTX-L"),
            english ? QStringLiteral("0-5V Signal") : QString::fromUtf8("Сигнал 0-5V"),
            QStringLiteral("AEM 30-4110"), QStringLiteral("AEM 30-0300")};
}

bool isAfrType(int type)
{
    return type == InnovateMtxL || type == Aem304110 || type == Aem300300;
}

int richSign(int type)
{
    return type == Narrow01V ? 1 : -1;
}

int recordingValue(int raw, int type)
{
    const double v = raw * 5.0 / 255.0;
    switch (type) {
    case InnovateMtxL:
        return int((v * 3.008 + 7.35) * 10.0);
    case Aem304110:
        return int((v * 1.996 + 10.0) * 10.0);
    case Aem300300:
        return int((v * 2.375 + 7.3125) * 10.0);
    default:
        return raw;
    }
}

Display display(int value, int type)
{
    Display d;
    if (isAfrType(type)) {
        d.gauge = int(255.0 - (value - 73) * 1.7);
        const double g = d.gauge;
        d.colour = kBlue;
        if (g >= 124.5 && g <= 144.42)
            d.colour = kGreen;
        if (g > 144.42 && g <= 174.3)
            d.colour = kYellow;
        if (g > 174.3 && g <= 204.18)
            d.colour = kOrange;
        if (g > 204.18)
            d.colour = kRed;
        d.text = shortestDecimal(value * 0.1, 1);
        if (value != 0)
            d.text2 = mixturePercent(value);
        return d;
    }
    if (type == Narrow01V) {
        const double scaled = value * 4.98;
        d.gauge = scaled > 255.0 ? 255 : int(scaled);
        const double g = d.gauge;
        d.colour = kBlue;
        if (g >= 124.5 && g <= 199.2)
            d.colour = kGreen;
        if (g > 199.2 && g <= 224.1)
            d.colour = kYellow;
        if (g > 224.1)
            d.colour = kRed;
    } else {
        d.gauge = value;
        d.colour = kGreen;
    }
    d.text = shortestDecimal(value * 5.0 / 256.0, 2) + QLatin1Char('V');
    d.text2 = QStringLiteral(" ");
    return d;
}

QString hintText(int value, int type)
{
    if (isAfrType(type))
        return QString::number(value * 0.1, 'f', 2) + QStringLiteral(" AFR");
    return QString::number(value * 5.0 / 255.0, 'f', 2) + QStringLiteral(" V");
}

std::optional<QString> hintForText(const QString &text, int type)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return hintText(value, type);
}

int leadingNumber(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    for (; i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        // Saturate instead of overflowing on an absurdly long digit run.
        if (value < 1000000000LL)
            value = value * 10 + (text[i].unicode() - '0');
    }
    if (value > 2147483647LL)
        value = 2147483647LL;
    return int(negative ? -value : value);
}

bool o2RefKeyAccepted(QChar key)
{
    // Backspace is let through too: without it a typing slip could only be
    // mended with the mouse.
    if ((key >= QLatin1Char('0') && key <= QLatin1Char('9')) || key == QLatin1Char('\r')
        || key == QLatin1Char('\n') || key == QLatin1Char('\b'))
        return true;
    showMessage(QString::fromUtf8("Ай-ай-ай, это не циферка! This is not digit!!!"));
    return false;
}

} // namespace o2

void TO2Setpoints::sensorTypeChanged(int type)
{
    type_ = type;
    ref_.min = target_.min = 0;
    if (type == o2::Narrow01V) {
        ref_.max = target_.max = 51;
        ref_.position = 25;
    } else {
        ref_.max = target_.max = 255;
        ref_.position = type == o2::Signal05V ? 127 : 108;
    }
    target_.position = ref_.position;
    referenceChanged();
    targetChanged();
    o2RefEditText = QString::number(ref_.value());
}

void TO2Setpoints::referencePositionChanged(int position)
{
    ref_.position = position;
    referenceChanged();
}

void TO2Setpoints::targetPositionChanged(int position)
{
    target_.position = position;
    targetChanged();
}

bool TO2Setpoints::keepTargetRich()
{
    const int v = ref_.value();
    const int w = target_.value();
    const bool lean = type_ == o2::Narrow01V ? w < v : w > v;
    if (lean)
        target_.setValue(v);
    return lean;
}

void TO2Setpoints::referenceChanged()
{
    const int v = ref_.value();
    if (o2::isAfrType(type_)) {
        labelRefO2 = QString::number(v * 0.1, 'f', 1);
        labelLogO2RefFromDash = labelRefO2;
        if (v != 0)
            labelRefO2FromDashInPercent =
                QString::number(int(std::nearbyint((147.0 / v - 1.0) * 100.0))) + QLatin1Char('%');
    } else {
        labelLogO2RefFromDash = QString::number(v * 5.0 / 256.0, 'f', 2);
        labelRefO2 = labelLogO2RefFromDash + QLatin1Char('V');
        labelRefO2FromDashInPercent = QStringLiteral(" ");
    }
    if (keepTargetRich())
        targetChanged();
    if (log_)
        log_->setO2Reference(v);
}

void TO2Setpoints::targetChanged()
{
    keepTargetRich();
    const int w = target_.value();
    if (o2::isAfrType(type_)) {
        labelRefO2Log = QString::number(w * 0.1, 'f', 1);
        if (w != 0)
            labelLogMixturePercent =
                QString::number(int(std::nearbyint((147.0 / w - 1.0) * 100.0))) + QLatin1Char('%');
    } else {
        labelRefO2Log = QString::number(w * 5.0 / 256.0, 'f', 2);
        labelLogMixturePercent = QStringLiteral(" ");
    }
    if (log_)
        log_->setO2Target(w);
}
