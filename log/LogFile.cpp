// Log files: a 15-byte header ("ZiRaV", version 1) and 15-byte records; the
// older headerless layout with 8-byte records is still read.
#include <algorithm>
#include <exception>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"
#include "table/SafeFile.h"

namespace {

constexpr int kHeaderSize = 15;
constexpr int kRecordSize = 15;
constexpr int kOldRecordSize = 8;
constexpr char kMagic[6] = {'Z', 'i', 'R', 'a', 'V', '\0'};
constexpr int kPieceRecords = 65536; // records read or written at a time

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

QByteArray Log::fileHeader() const
{
    QByteArray header(kHeaderSize, '\0');
    header[0] = char(headerA);
    header[1] = char(headerB);
    std::copy(kMagic, kMagic + 6, header.begin() + 2);
    header[10] = 1;
    return header;
}

void Log::encodeFileRecords(int first, int last, char *out) const
{
    for (int i = first; i < last; ++i, out += kRecordSize) {
        out[0] = char(value(ColConverter, i));
        out[1] = char(value(ColMarker, i));
        out[2] = char(value(ColAuxOut, i));
        out[3] = char(value(ColMaf, i));
        out[4] = char(value(ColTps, i));
        const std::int32_t period = value(ColRpmPeriod, i);
        out[5] = char((period >> 8) & 0xFF);
        out[6] = char(period & 0xFF);
        out[7] = char(value(ColO2, i));
        putSignMagnitude(out + 8, value(ColCorr, i));
        out[10] = char(value(ColIat, i));
        out[11] = char(value(ColEct, i));
        out[12] = char(value(ColO2SM, i));
        putSignMagnitude(out + 13, value(ColLogCorr, i));
    }
}

bool Log::saveToFile(const QString &fileName)
{
    try {
        const int n = count();
        // A save that writes nothing must not look like one that worked.
        if (n == 0) {
            showMessage(QString::fromUtf8("The log is empty: nothing was saved.\n\nЛог пуст: ничего не сохранено."));
            return false;
        }
        const QString name = logFileName(fileName);
        const QFileInfo info(name);
        // The old file is replaced by a rename; where that cannot happen the
        // old file could not have been deleted either.
        if (info.exists() && (info.isDir() || !QFileInfo(info.absolutePath()).isWritable())) {
            showMessage(QStringLiteral("Can't delete file before saving"));
            return false;
        }
        // Written beside the old file and renamed over it only when complete,
        // so a failed save leaves the old log as it was.
        const safefile::Result written = safefile::write(name, [&](QIODevice &file) {
            const QByteArray header = fileHeader();
            if (file.write(header) != header.size())
                return false;
            // In pieces: a day-long log would otherwise need its whole file in memory.
            QByteArray piece(kPieceRecords * kRecordSize, '\0');
            for (int first = 0; first < n; first += kPieceRecords) {
                const int last = std::min(n, first + kPieceRecords);
                encodeFileRecords(first, last, piece.data());
                const qint64 size = qint64(last - first) * kRecordSize;
                if (file.write(piece.constData(), size) != size)
                    return false;
            }
            return true;
        });
        if (!written.ok()) {
            showMessage(safefile::withReason(QStringLiteral("Log file save error"), written));
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
        std::uint8_t header[kHeaderSize];
        if (file.read(reinterpret_cast<char *>(header), kHeaderSize) < kHeaderSize) {
            clear();
            return true;
        }
        const bool current = std::equal(kMagic, kMagic + 6, reinterpret_cast<const char *>(header) + 2) && header[10] == 1;
        // The old layout has no header: its first 24 bytes (three records) are skipped.
        const qint64 skipped = current ? kHeaderSize : kHeaderSize + 9;
        // Refused before anything changes: a log longer than the program keeps
        // would be cut off, and reading it would take the memory of the machine.
        if ((file.size() - skipped) / (current ? kRecordSize : kOldRecordSize) > TLogColumns::kMaxRecords) {
            showMessage(QString::fromUtf8("Log file is too long: more than %1 records (24 hours).\n\n"
                                          "Файл лога слишком длинный: больше %1 записей (24 часа).")
                            .arg(TLogColumns::kMaxRecords));
            return false;
        }
        clear();
        headerA = header[0];
        headerB = header[1];
        if (!current)
            file.skip(9);
        const int recordSize = current ? kRecordSize : kOldRecordSize;
        QByteArray piece(kPieceRecords * recordSize, '\0');
        bool full = false;
        while (!full) {
            const qint64 got = file.read(piece.data(), piece.size());
            const qint64 records = got > 0 ? got / recordSize : 0; // a trailing partial record is ignored
            const auto *data = reinterpret_cast<const std::uint8_t *>(piece.constData());
            for (qint64 k = 0; k < records; ++k) {
                const std::uint8_t *r = data + k * recordSize;
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
                if (!addRecord(record)) {
                    full = true;
                    break;
                }
            }
            if (got < piece.size())
                break;
        }
        file.close();
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
