#include "log/LogCsv.h"

#include <charconv>

#include <QByteArray>
#include <QIODevice>

#include "link/MessageSink.h"
#include "table/SafeFile.h"
#include "log/Log_iat_ect_corr.h"

namespace logcsv {
namespace {

// Time and fourteen signed 32-bit values with their commas, and the line end.
constexpr int kMaxRowBytes = 16 + kLogColumns * 12 + 1;

char *putInt(char *at, std::int32_t v)
{
    return std::to_chars(at, at + 12, v).ptr;
}

} // namespace

bool writeCsv(const Log &log, QIODevice &device)
{
    const int n = log.count();
    int lengths[kLogColumns];
    for (int c = 0; c < kLogColumns; ++c)
        lengths[c] = log.columnLength(c);
    QByteArray piece;
    piece.reserve(kPieceBytes + kMaxRowBytes);
    piece += "Time_s";
    for (int c = 0; c < kLogColumns; ++c) {
        piece += ',';
        piece += logColumnName(c);
    }
    piece += '\n';
    char row[kMaxRowBytes];
    for (int i = 0; i < n; ++i) {
        // Record i lies i x 10 ms after the start; integers keep it exact.
        char *p = putInt(row, i / 100);
        const int hundredths = i % 100;
        *p++ = '.';
        *p++ = char('0' + hundredths / 10);
        *p++ = char('0' + hundredths % 10);
        for (int c = 0; c < kLogColumns; ++c) {
            *p++ = ',';
            // A column the file did not hold (the auxiliary slots after a load) stays empty.
            if (i < lengths[c])
                p = putInt(p, log.value(c, i));
        }
        *p++ = '\n';
        piece.append(row, int(p - row));
        if (piece.size() >= kPieceBytes) {
            if (device.write(piece) != piece.size())
                return false;
            piece.resize(0); // keeps the capacity for the next piece
        }
    }
    return device.write(piece) == piece.size();
}

bool exportCsv(const Log &log, const QString &fileName)
{
    const safefile::Result written =
        safefile::write(fileName, [&](QIODevice &device) { return writeCsv(log, device); });
    if (!written.ok()) {
        showMessage(safefile::withReason(QStringLiteral("CSV file save error"), written));
        return false;
    }
    return true;
}

QString csvNameFor(const QString &logFileName)
{
    QString name = logFileName;
    if (name.endsWith(QLatin1String(".log"), Qt::CaseInsensitive))
        name.chop(4);
    return name + QStringLiteral(".csv");
}

} // namespace logcsv
