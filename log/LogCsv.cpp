#include "log/LogCsv.h"

#include <QSaveFile>

#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"

namespace logcsv {

QByteArray toCsv(const Log &log)
{
    QByteArray out;
    const int n = log.count();
    out.reserve(int(qMin<qint64>(qint64(n) * 64 + 256, 1 << 30)));
    out += "Time_s";
    for (int c = 0; c < kLogColumns; ++c) {
        out += ',';
        out += logColumnName(c);
    }
    out += '\n';
    int lengths[kLogColumns];
    for (int c = 0; c < kLogColumns; ++c)
        lengths[c] = log.columnLength(c);
    for (int i = 0; i < n; ++i) {
        // Record i lies i x 10 ms after the start; integers keep it exact.
        out += QByteArray::number(i / 100);
        out += '.';
        const int hundredths = i % 100;
        if (hundredths < 10)
            out += '0';
        out += QByteArray::number(hundredths);
        for (int c = 0; c < kLogColumns; ++c) {
            out += ',';
            // A column the file did not hold (the auxiliary slots after a load) stays empty.
            if (i < lengths[c])
                out += QByteArray::number(log.value(c, i));
        }
        out += '\n';
    }
    return out;
}

bool exportCsv(const Log &log, const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(toCsv(log)) < 0 || !file.commit()) {
        showMessage(QStringLiteral("CSV file save error"));
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
