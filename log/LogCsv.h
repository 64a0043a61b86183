#pragma once
// A log as comma-separated values, for a spreadsheet or a script: a header
// row with the column names, then one row per record with the values as the
// log holds them. The first column is the record's time in seconds.
#include <QString>

class Log;
class QIODevice;

namespace logcsv {

// Rows are formatted and written in pieces of about kPieceBytes, so a
// day-long log never has its whole text (some 440 MB) in memory.
constexpr int kPieceBytes = 1 << 20;

// Writes the text to an open device ("\n" line ends, no locale: plain
// integers). False when the device refuses a piece.
bool writeCsv(const Log &log, QIODevice &device);
// Writes the text; an existing file is replaced only once the new one is
// complete. Message on failure: "CSV file save error".
bool exportCsv(const Log &log, const QString &fileName);
// OUT.csv for FILE.log: the same name with ".csv" instead of ".log".
QString csvNameFor(const QString &logFileName);

} // namespace logcsv
