#pragma once
// What follows the opening of a port, the same for the window and the
// command line: identify the unit, judge it, and for a unit this program
// works with read its sensor record (newest firmware generation) and its
// table, each after the pause the unit needs between commands. Failures of
// the port or of the unit's answers are raised, as the protocol raises them.
#include <exception>
#include <optional>

#include <QString>

#include "link/DeviceInfo.h"
#include "throttle/SensorRecord.h"

class Table;
class TRXTX;

namespace device {

struct Steps {
    bool sensorRecord = true; // read the sensor record ("fiusfiuy")
    bool table = true;        // read the table into image 1, one step of its history
    bool quiet = false;       // judge the unit without a message (the user is updating its firmware)
};

struct Unit {
    TDeviceInfo info;
    bool compatible = false; // identified as a unit this program works with
    std::optional<kma::SensorRecord> sensorRecord; // a full 5-byte answer only
    bool tableRead = false;
};

Unit connect(TRXTX &channel, Table &table, Steps steps = {});

// What the user reads when the port does not open or the unit does not
// answer the identification: "Try again!" in both languages.
QString tryAgainText();
// The same for this failure: where the port did not open, followed by why
// (no permission, held by another program, gone, not a serial port).
QString tryAgainText(const std::exception &error);

} // namespace device
