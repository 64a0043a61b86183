#include "link/Firmware.h"

#include <cmath>

#include <QFile>

#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "link/Rxtx.h"

namespace firmware {
namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

const char *const kNoAnswer =
    "\nFailed: Converter doesn't respond.\nPlease check the supply voltage, COM port and firmware update jumper\n\n"
    "Ошибка обновления. Конвертер не отвечает.\nПожалуйста проверьте питающее напряжение, COM порт, и перемычку "
    "обновления прошивки";
const char *const kRejected =
    "CRC error.  Converter doesn't respond.\nPlease check the supply voltage, COM port and firmware update jumper\n\n"
    "Ошибка обновления. Конвертер не отвечает.\nПожалуйста проверьте питающее напряжение, COM порт, и перемычку "
    "обновления прошивки";

} // namespace

QByteArray parseHexPairs(const QByteArray &text, bool *tooLarge, int *stoppedAt)
{
    if (tooLarge)
        *tooLarge = false;
    QByteArray bytes;
    const int n = int(text.size());
    int i = 0;
    for (;;) {
        while (i < n && isBlank(text[i]))
            ++i;
        if (i >= n || hexDigit(text[i]) < 0)
            break;
        // A digit without its pair is a file cut (or damaged) in the middle
        // of a byte: reading stops there, so the file is refused.
        if (i + 1 >= n || hexDigit(text[i + 1]) < 0)
            break;
        const int value = hexDigit(text[i]) * 16 + hexDigit(text[i + 1]);
        i += 2;
        if (bytes.size() >= kBufferSize) {
            if (tooLarge)
                *tooLarge = true;
            break;
        }
        bytes.append(char(value));
    }
    if (stoppedAt)
        *stoppedAt = i;
    return bytes;
}

Outcome readFile(const QString &fileName, QByteArray *firmware, std::vector<proto::FirmwareBlock> *blocks)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        showMessage(QStringLiteral("Error: File  not found.\n"));
        return Outcome::FileNotFound;
    }
    bool tooLarge = file.size() > kMaxFileSize;
    QByteArray text, image;
    int stoppedAt = 0;
    if (!tooLarge) {
        text = file.readAll();
        image = parseHexPairs(text, &tooLarge, &stoppedAt);
    }
    file.close();
    // Refuse a file that cannot be sent whole before the unit leaves its
    // program: a half-flashed unit is worse than an untouched one.
    if (tooLarge) {
        showMessage(QString::fromUtf8("Firmware file is too large: more than %1 bytes.\n\n"
                                      "Файл прошивки слишком большой: более %1 байт.")
                        .arg(kBufferSize));
        return Outcome::TooLarge;
    }
    // A file cut short or mixed with other text would otherwise send what
    // precedes the damage and report success for a unit left half-flashed.
    if (stoppedAt < text.size()) {
        const int line = int(text.left(stoppedAt).count('\n')) + 1;
        showMessage(QString::fromUtf8("Firmware file is damaged: line %1 holds text that is not a hexadecimal pair.\n"
                                      "Nothing was sent.\n\nФайл прошивки повреждён: в строке %1 текст, который не "
                                      "является шестнадцатеричной парой.\nНичего не отправлено.")
                        .arg(line));
        return Outcome::Damaged;
    }
    const proto::BlockSplit split = proto::splitFirmwareBlocks(image);
    if (split.blocks.empty() && split.overrunAt < 0) {
        showMessage(QString::fromUtf8("Firmware file is damaged: it holds no firmware block.\nNothing was sent.\n\n"
                                      "Файл прошивки повреждён: в нём нет ни одного блока прошивки.\n"
                                      "Ничего не отправлено."));
        return Outcome::Damaged;
    }
    if (split.overrunAt >= 0) {
        showMessage(QString::fromUtf8("Firmware file is damaged: the block at byte %1 runs past the end of the file.\n"
                                      "Nothing was sent.\n\nФайл прошивки повреждён: блок с байта %1 выходит за "
                                      "конец файла.\nНичего не отправлено.")
                        .arg(split.overrunAt));
        return Outcome::Damaged;
    }
    if (firmware)
        *firmware = image;
    if (blocks)
        *blocks = split.blocks;
    return Outcome::Success;
}

Outcome update(TRXTX &channel, const QString &fileName, bool recovery, const std::function<void(int)> &progress,
               const QString &closingNote)
{
    if (!channel.isConnected()) {
        showMessage(QStringLiteral("COM port!!!"));
        return Outcome::NotConnected;
    }
    QByteArray image;
    std::vector<proto::FirmwareBlock> blocks;
    if (const Outcome read = readFile(fileName, &image, &blocks); read != Outcome::Success)
        return read;
    const int n = int(image.size());
    try {
        proto::bootloaderEntry(channel, recovery);
        int sent = 0;
        const auto *data = reinterpret_cast<const std::uint8_t *>(image.constData());
        for (const proto::FirmwareBlock &block : blocks) {
            const proto::BlockResult result = proto::sendFirmwareBlock(channel, data + block.offset, block.length, [&] {
                if (progress)
                    progress(int(std::nearbyint(sent * 100.0 / n)));
            });
            if (result.outcome == proto::BlockOutcome::NoAnswer) {
                showMessage(QString::fromUtf8(kNoAnswer));
                return Outcome::NoAnswer;
            }
            if (result.outcome == proto::BlockOutcome::Rejected) {
                showMessage(QString::fromUtf8(kRejected));
                return Outcome::Rejected;
            }
            sent += block.length;
        }
    } catch (const std::exception &e) {
        // The unit may be left in its boot loader without a firmware: say so,
        // and how to get it back.
        showMessage(QString::fromUtf8("The firmware update did not finish.\n%1\n\n"
                                      "The unit waits in its boot loader. Connect it again, tick \"Firmware "
                                      "Recovery\" (Options/Setup > Firmware Update), choose the port and update "
                                      "from the same file.\n\n"
                                      "Обновление прошивки не завершено.\n\n"
                                      "Устройство ждёт в загрузчике. Подключите его снова, отметьте "
                                      "«Восстановление прошивки» (Настройки > Обновление прошивки), выберите порт "
                                      "и обновите из того же файла.")
                        .arg(portErrorText(e)));
        return Outcome::PortError;
    }
    if (progress)
        progress(100);
    const QString done = QString::fromUtf8("Firmware updated successfully.\n\nПрошивка успешно обновлена");
    showMessage(closingNote.isEmpty() ? done : done + QStringLiteral("\n\n") + closingNote);
    return Outcome::Success;
}

} // namespace firmware
