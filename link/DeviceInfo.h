#pragma once
// The result of one identification, and the parse of the identify reply.
#include <QByteArray>
#include <QString>

struct TDeviceInfo {
    static constexpr int kNoDevice = 65535;
    int deviceId = kNoDevice;
    QString firmwareText;  // e.g. "2.3"
    int firmwareNumber = 0; // version × 10
    QString hardwareText;
    int hardwareNumber = 0;
    QString oscillatorText; // e.g. "16MHz"
    int oscillatorNumber = 0; // kHz
};

// Parses a reply into stored, field by field, keeping fields the reply leaves
// out. generation becomes 1 for a 2- or 3-byte reply, 2 for a longer one, and
// stays for a 1-byte reply. A reply too short for the fields its own markers
// announce throws EProtocol("ErrorConnect") after storing what was taken.
void parseIdentifyReply(const QByteArray &reply, TDeviceInfo &stored, int &generation);

// Shortest decimal text of a value rounded to the given decimals ("2.3", "2", "16").
QString shortestDecimal(double value, int decimals);
