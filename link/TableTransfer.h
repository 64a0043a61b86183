#pragma once
// Moving image 1 of the main table to and from the unit: the table read, the
// full write (echo, EEPROM phase, verification) and the quick write. Each
// reports its own failures to the user.
#include <QString>

#include "link/DeviceInfo.h"

class Table;
class TRXTX;

// What the full write drives: the progress window, or a text line.
class TransferProgress {
public:
    virtual ~TransferProgress() = default;
    virtual void setCaption(const QString &caption) = 0;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setPosition(int position) = 0;
    virtual int position() const = 0;
    virtual void showProgress() = 0;
    virtual void hideProgress() = 0;
    virtual bool progressVisible() const = 0;
};

namespace transfer {

enum class Outcome { Done, NotConnected, Busy, ShortRead, EchoFailed, VerifyFailed, ShortReadback, PortError };

// Program-wide firmware generation: 0 until a reply of 2 or more bytes was seen.
int &firmwareGeneration();

// Identifies the unit and keeps the values in the table. Not connected: id
// 65535 and empty values, the table's values untouched. Raises the failures
// (no answer, a reply too short for its own markers, port errors).
TDeviceInfo identify(Table &table, TRXTX &channel);

// Judges an identification: shows the update request (first firmware
// generation), the incompatibility message (an id other than 6) or the
// unknown-device message (a one-byte reply), and returns whether the unit is
// one this program works with.
bool judgeIdentification(const TDeviceInfo &info);

// The unit's image replaces image 1 (learned values rebuilt, parameters shown,
// views refreshed, snapshot taken). Refused while the live-data reader holds the port.
Outcome tableRead(Table &table, TRXTX &channel);
// Image 1 to the unit's working memory and EEPROM, then read back and compared.
Outcome fullWrite(Table &table, TRXTX &channel, TransferProgress &progress);
// Image 1 to the unit's working memory only; nothing is read.
Outcome quickWrite(Table &table, TRXTX &channel);

} // namespace transfer
