#pragma once
// A log as comma-separated values, for a spreadsheet or a script: a header
// row with the column names, then one row per record with the values as the
// log holds them. The first column is the record's time in seconds.
#include <QByteArray>
#include <QString>

class Log;

namespace logcsv {

// The whole text ("\n" line ends, no locale: plain integers).
QByteArray toCsv(const Log &log);
// Writes the text; an existing file is replaced only once the new one is
// complete. Message on failure: "CSV file save error".
bool exportCsv(const Log &log, const QString &fileName);
// OUT.csv for FILE.log: the same name with ".csv" instead of ".log".
QString csvNameFor(const QString &logFileName);

} // namespace logcsv
