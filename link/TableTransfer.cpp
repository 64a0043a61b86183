#include "link/TableTransfer.h"

#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "table/Table_iat_ect_corr.h"

namespace transfer {
namespace {

QByteArray bytesOf(const proto::Image &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}

proto::Image refreshedImage(Table &table)
{
    // The parameter bytes follow their edit boxes before every write.
    table.readParameters(1);
    const QByteArray bytes = table.imageBytes(1);
    proto::Image image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

void hideAll(TransferProgress &progress)
{
    for (int i = 0; i < 256 && progress.progressVisible(); ++i)
        progress.hideProgress();
}

} // namespace

int &firmwareGeneration()
{
    static int generation = 0;
    return generation;
}

TDeviceInfo identify(Table &table, TRXTX &channel)
{
    if (!channel.isConnected())
        return TDeviceInfo{};
    // Another unit, or the same one after a restart: what it holds is unknown until read.
    table.forgetUnitImage();
    const QByteArray reply = proto::identify(channel);
    // Parsed in place: what a reply held before it ran short is kept.
    parseIdentifyReply(reply, table.identification, firmwareGeneration());
    return table.identification;
}

bool judgeIdentification(const TDeviceInfo &info)
{
    const int generation = firmwareGeneration();
    if (generation == 0) {
        if (!info.firmwareText.isEmpty())
            showMessage(QString::fromUtf8("Устройство не опознано. Попробуйте обновить прошивку. \n"
                                          "Unknown device. Try to update a firmware"));
        return false;
    }
    if (generation == 1)
        showMessage(QString::fromUtf8("Пожалуйста обновите прошивку! Доступная новая версия! \n"
                                      "Please update the firmware! The new version is  available!"));
    if (info.deviceId != 6) {
        showMessage(QString::fromUtf8("Программа не совместима с этим устройством! \n"
                                      "This software is not compatible with this device!\nreaded DEVICE_ID=")
                    + QString::number(info.deviceId));
        return false;
    }
    return true;
}

Outcome tableRead(Table &table, TRXTX &channel)
{
    if (!channel.isConnected())
        return Outcome::NotConnected;
    if (!channel.portIdle.load()) {
        showMessage(QString::fromUtf8("Waiting  for a dataloger's stop.\nPlease try again.\n\n"
                                      "Ждем остановки даталогера\nПожалуйста попробуйте еще раз"));
        return Outcome::Busy;
    }
    try {
        proto::Image image{};
        const int got = proto::readImage(channel, image);
        if (got < proto::kImageSize)
            throw EProtocol(QStringLiteral("ErrorConnect"), got, proto::kImageSize);
        table.acceptImageFromDevice(bytesOf(image));
        table.setUnitImage(bytesOf(image));
        return Outcome::Done;
    } catch (const EProtocol &e) {
        channel.reportProtocolFailure(e.token(), e.received(), e.expected());
        return Outcome::ShortRead;
    } catch (const std::exception &e) {
        channel.reportPortError(e);
        return Outcome::PortError;
    }
}

Outcome fullWrite(Table &table, TRXTX &channel, TransferProgress &progress)
{
    if (!channel.isConnected())
        return Outcome::NotConnected;
    int readBack = 0;
    try {
        channel.clearBoth();
        channel.clearOutput();
        progress.setCaption(QString::fromUtf8("Запись ОЗУ/ Writing RAM"));
        progress.showProgress();
        progress.setRange(0, 391);
        progress.setPosition(0);

        proto::Image image{};
        const proto::EchoResult echo = proto::writeImageEcho(
            channel,
            [&] {
                image = refreshedImage(table);
                return image;
            },
            [&](int) {
                if (progress.position() < 391)
                    progress.setPosition(progress.position() + 1);
            });
        if (echo.failedAt >= 0) {
            showMessage(QStringLiteral("Error! Coverter doesen't respond i=%1 tx=%2 rx=%3")
                            .arg(echo.failedAt)
                            .arg(echo.sent)
                            .arg(echo.received));
            hideAll(progress);
            return Outcome::EchoFailed;
        }

        progress.setCaption(QString::fromUtf8("Запись ПЗУ/ Writing EEPROM"));
        progress.setRange(0, 391);
        progress.setPosition(0);
        proto::eepromPhase(channel, [&](int steps) { progress.setPosition(std::min(steps, 391)); });
        progress.setPosition(391); // the unit has said the EEPROM is written: the whole way
        hideAll(progress);

        proto::Image back{};
        readBack = proto::readImage(channel, back, true);
        if (readBack < proto::kImageSize) {
            showMessage(QString::number(readBack));
            throw EProtocol(QStringLiteral("ErrorConnect="), readBack, proto::kImageSize);
        }
        for (int k = 0; k < proto::kImageSize; ++k) {
            if (back[size_t(k)] != image[size_t(k)]) {
                showMessage(QStringLiteral("Error i=%1 Tab=%2 buf=%3").arg(k).arg(image[size_t(k)]).arg(back[size_t(k)]));
                throw EProtocol(QStringLiteral("VerificationError"), readBack, proto::kImageSize);
            }
        }
        table.setUnitImage(bytesOf(image));
        return Outcome::Done;
    } catch (const EProtocol &e) {
        hideAll(progress);
        showMessage(e.token());
        channel.reportProtocolFailure(e.token(), e.received(), e.expected());
        return e.token().startsWith(QLatin1Char('V')) ? Outcome::VerifyFailed : Outcome::ShortReadback;
    } catch (const std::exception &e) {
        hideAll(progress);
        channel.reportPortError(e);
        return Outcome::PortError;
    }
}

Outcome quickWrite(Table &table, TRXTX &channel)
{
    if (!channel.isConnected())
        return Outcome::NotConnected;
    try {
        proto::Image image{};
        proto::quickWrite(channel, [&] {
            image = refreshedImage(table);
            return image;
        });
        table.setUnitImage(bytesOf(image));
        return Outcome::Done;
    } catch (const std::exception &e) {
        channel.reportPortError(e);
        return Outcome::PortError;
    }
}

} // namespace transfer
