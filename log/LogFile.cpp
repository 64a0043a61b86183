// Log files: a 15-byte header ("ZiRaV", version 1) and 15-byte records; the
// older headerless layout with 8-byte records is still read.
#include <exception>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"

namespace {

constexpr int kHeaderSize = 15;
constexpr int kRecordSize = 15;
constexpr int kOldRecordSize = 8;
constexpr char kMagic[6] = {'Z', 'i', 'R', 'a', 'V', '\0'};

// Sign and magnitude: the low byte of |v|, then 128 for a negative value.
void putSignMagnitude(char *at, std::int32_t v)
{
    const std::uint32_t magnitude = v < 0 ? std::uint32_t(0) - std::uint32_t(v) : std::uint32_t(v);
    at[0] = char(magnitude & 0xFF);
    at[1] = char(v < 0 ? 128 : 0);
}

int signMagnitude(const std::uint8_t *at)
{
    return at[1] != 0 ? -int(at[0]) : int(at[0]);
}

} // namespace

QString Log::logFileName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".log")) ? fileName : fileName + QStringLiteral(".log");
}

bool Log::saveToFile(const QString &fileName)
{
    try {
        const int n = count();
        if (n == 0)
            return false;
        const QString name = logFileName(fileName);
        const QFileInfo info(name);
        // The old file is replaced by a rename; where that cannot happen the
        // old file could not have been deleted either.
        if (info.exists() && (info.isDir() || !QFileInfo(info.absolutePath()).isWritable())) {
            showMessage(QStringLiteral("Can't delete file before saving"));
            return false;
        }
        QByteArray bytes(kHeaderSize + qsizetype(n) * kRecordSize, '\0');
        char *p = bytes.data();
        p[0] = char(headerA);
        p[1] = char(headerB);
        std::copy(kMagic, kMagic + 6, p + 2);
        p[10] = 1;
        p += kHeaderSize;
        for (int i = 0; i < n; ++i, p += kRecordSize) {
            p[0] = char(value(ColConverter, i));
            p[1] = char(value(ColMarker, i));
            p[2] = char(value(ColAuxOut, i));
            p[3] = char(value(ColMaf, i));
            p[4] = char(value(ColTps, i));
            const std::int32_t period = value(ColRpmPeriod, i);
            p[5] = char((period >> 8) & 0xFF);
            p[6] = char(period & 0xFF);
            p[7] = char(value(ColO2, i));
            putSignMagnitude(p + 8, value(ColCorr, i));
            p[10] = char(value(ColIat, i));
            p[11] = char(value(ColEct, i));
            p[12] = char(value(ColO2SM, i));
            putSignMagnitude(p + 13, value(ColLogCorr, i));
        }
        // Written beside the old file and renamed over it only when complete,
        // so a failed save leaves the old log as it was.
        QSaveFile file(name);
        if (!file.open(QIODevice::WriteOnly)) {
            showMessage(QStringLiteral("Log file save error"));
            return false;
        }
        if (file.write(bytes) != bytes.size() || !file.commit()) {
            file.cancelWriting();
            showMessage(QStringLiteral("Log file save error"));
            return false;
        }
        return true;
    } catch (const std::exception &e) {
        showMessage(QString::fromLocal8Bit(e.what()));
        return false;
    }
}

bool Log::loadFromFile(const QString &fileName)
{
    // Loaded records mixed into a running recording would be neither log.
    if (recording())
        return false;
    try {
        hasData_.store(false);
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) {
            showMessage(fileName + QStringLiteral("Log file load error"));
            return false;
        }
        const QByteArray bytes = file.readAll();
        file.close();
        clear();
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
        const qsizetype size = bytes.size();
        if (size < kHeaderSize)
            return true;
        headerA = data[0];
        headerB = data[1];
        const bool current = std::equal(kMagic, kMagic + 6, bytes.constData() + 2) && data[10] == 1;
        // The old layout has no header: its first 24 bytes (three records) are skipped.
        qsizetype at = current ? kHeaderSize : kHeaderSize + 9;
        const int recordSize = current ? kRecordSize : kOldRecordSize;
        for (; at + recordSize <= size; at += recordSize) {
            const std::uint8_t *r = data + at;
            TLogRecord record{};
            record[ColConverter] = r[0];
            record[ColMarker] = r[1];
            record[ColAuxOut] = r[2];
            record[ColMaf] = r[3];
            record[ColTps] = r[4];
            record[ColRpmPeriod] = r[5] * 256 + r[6];
            record[ColO2] = r[7];
            if (current) {
                record[ColCorr] = signMagnitude(r + 8);
                record[ColIat] = r[10];
                record[ColEct] = r[11];
                record[ColO2SM] = r[12];
                record[ColLogCorr] = signMagnitude(r + 13);
            }
            if (!addRecord(record))
                break;
        }
        prepareView();
        setDecimation(count() - 1);
        rebuild(decimationStep());
        pushFullView();
        return true;
    } catch (const std::exception &e) {
        showMessage(QString::fromLocal8Bit(e.what()));
        return false;
    }
}
