#pragma once
// Tab files: one 392-byte table image without header ("*.tab").
#include <QByteArray>
#include <QString>

class Table;

namespace tbl {

// Name actually written: ".tab" is appended unless the name already ends in
// exactly ".tab" (case-sensitive).
QString tabFileName(const QString &name);

// Saves image `which` (2 = image 2, otherwise image 1) after reading its
// parameters from the edit boxes. The file is written beside the target and
// renamed over it, so a failed save keeps the old file. Messages:
// "Can't delete file before saving" (the old file cannot be replaced),
// "Tab file save error" (the file cannot be written), each followed by the
// system's reason.
bool saveTabFile(Table &table, const QString &name, int which);

// Loads up to 600 bytes into image `which` with the size rules of the format,
// rebuilds the learned values from image 1, shows the parameters, refreshes
// and snapshots. Message on failure: the file name + "Tab file load error"
// (table unchanged).
// size: the bytes the file holds (at most 600 are read).
bool loadTabFile(Table &table, const QString &name, int which, qint64 *size = nullptr);

// The sizes table files really come in: 392 (this layout), 256 (older files:
// the points alone) and 512 (an older layout). Any other is not a table.
bool isTableFileSize(qint64 size);
// For the status line after loading a file of another size; "" for a table's size.
QString unusualSizeText(const QString &name, qint64 size, bool english);

} // namespace tbl
