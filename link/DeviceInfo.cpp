#include "link/DeviceInfo.h"

#include <cmath>

#include "link/Rxtx.h"

QString shortestDecimal(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::nearbyint(value * scale) / scale;
    QString text = QString::number(rounded, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

void parseIdentifyReply(const QByteArray &reply, TDeviceInfo &stored, int &generation)
{
    const int n = int(reply.size());
    if (n == 0)
        throw EProtocol(QStringLiteral("ErrorConnect"), 0, 1);
    auto at = [&](int position) -> int {
        if (position >= n)
            throw EProtocol(QStringLiteral("ErrorConnect"), n, position + 1);
        return std::uint8_t(reply[position]);
    };
    if (n == 1) {
        stored.deviceId = TDeviceInfo::kNoDevice;
        stored.firmwareText = shortestDecimal(at(0) / 10.0, 1);
        stored.firmwareNumber = 0;
        stored.hardwareText.clear();
        stored.oscillatorText.clear();
        stored.hardwareNumber = 0;
        stored.oscillatorNumber = 0;
        return;
    }
    generation = n <= 3 ? 1 : 2;
    stored.deviceId = at(0) * 256 + at(1);
    int position = 2;
    if (at(position) == 1) {
        stored.firmwareNumber = at(position + 1);
        stored.firmwareText = shortestDecimal(stored.firmwareNumber / 10.0, 1);
        position += 2;
    }
    if (at(position) == 1) {
        stored.hardwareNumber = at(position + 1);
        stored.hardwareText = QString::number(stored.hardwareNumber);
        position += 2;
    }
    const int khz = at(position) * 256 + at(position + 1);
    stored.oscillatorNumber = khz;
    stored.oscillatorText = shortestDecimal(khz / 1000.0, 3) + QStringLiteral("MHz");
}
