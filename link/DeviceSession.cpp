#include "link/DeviceSession.h"

#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "link/SerialPort.h"
#include "link/TableTransfer.h"
#include "table/Table_iat_ect_corr.h"

namespace device {

QString tryAgainText()
{
    return QString::fromUtf8("Try again!\nПопробуйте еще раз!");
}

QString tryAgainText(const std::exception &error)
{
    const QString reason = portOpenReason(error);
    return reason.isEmpty() ? tryAgainText() : tryAgainText() + QStringLiteral("\n\n") + reason;
}

Unit connect(TRXTX &channel, Table &table, Steps steps)
{
    Unit unit;
    channel.clearBoth();
    unit.info = transfer::identify(table, channel);
    unit.compatible = steps.quiet ? transfer::firmwareGeneration() != 0 && unit.info.deviceId == 6
                                  : transfer::judgeIdentification(unit.info);
    if (!unit.compatible)
        return unit;
    if (steps.sensorRecord) {
        proto::wait(300);
        channel.clearBoth();
        std::array<std::uint8_t, proto::kSensorRecordSize> bytes{};
        // Only the newest firmware generation has the record; a short one is ignored without a message.
        if (transfer::firmwareGeneration() == 2
            && proto::sensorRecordQuery(channel, bytes) == proto::kSensorRecordSize)
            unit.sensorRecord = kma::decodeRecord(bytes);
    }
    if (steps.table) {
        proto::wait(300);
        channel.clearBoth();
        // One step of the history; the unit holds what was read, so nothing is sent back.
        const TableEdit edit(table);
        unit.tableRead = transfer::tableRead(table, channel) == transfer::Outcome::Done;
    }
    return unit;
}

} // namespace device
