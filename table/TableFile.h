#pragma once
// Tab files: one 392-byte table image without header ("*.tab").
#include <QByteArray>
#include <QString>

class Table;

namespace tbl {

// Name actually written: ".tab" is appended unless the name already ends in
// exactly ".tab" (case-sensitive).
QString tabFileName(const QString &name);

// Writes bytes to name beside the target and renames the new file over it,
// so that a failed save keeps the old file. CannotReplace: something stands
// there that cannot be replaced; CannotWrite: the file cannot be written.
enum class SafeWrite { Done, CannotReplace, CannotWrite };
SafeWrite writeFileSafely(const QString &name, const QByteArray &bytes);

// Saves image `which` (2 = image 2, otherwise image 1) after reading its
// parameters from the edit boxes. The file is written beside the target and
// renamed over it, so a failed save keeps the old file. Messages:
// "Can't delete file before saving" (the old file cannot be replaced),
// "Tab file save error" (the file cannot be written).
bool saveTabFile(Table &table, const QString &name, int which);

// Loads up to 600 bytes into image `which` with the size rules of the format,
// rebuilds the learned values from image 1, shows the parameters, refreshes
// and snapshots. Message on failure: the file name + "Tab file load error"
// (table unchanged).
bool loadTabFile(Table &table, const QString &name, int which);

} // namespace tbl
