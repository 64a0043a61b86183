#pragma once
// Writing files so that a failure never passes for success and never costs
// the old file: tables, backups, logs, CSV exports, the settings file and the
// undo history all go through here.
#include <functional>

#include <QByteArray>
#include <QFileInfoList>
#include <QString>

class QIODevice;

namespace safefile {

struct Result {
    enum Status { Done, CannotReplace, CannotWrite };
    Status status = CannotWrite;
    // Why not, as the system tells it ("No space left on device"); "" when done.
    QString reason;
    bool ok() const { return status == Done; }
};

// Writes the content: true when every byte was accepted.
using Writer = std::function<bool(QIODevice &)>;

// Writes a new file beside name, checks that every byte reached the disk
// (the device's error after writing and flushing, then a sync), and only
// then renames it over name. On any failure the new file is removed, the old
// one stays as it was and the reason is returned.
// CannotReplace: something that is not a file stands at name, or the old
// file cannot be replaced. directFallback: where no file can be made beside
// name (a folder without write permission), name is written in place.
Result write(const QString &name, const Writer &writer, bool directFallback = false);
Result write(const QString &name, const QByteArray &bytes, bool directFallback = false);

// Creates an empty file under the first free name nameFor(1), nameFor(2)...
// in folder, atomically, so that two programs creating names at once never
// get the same one. Returns the path, or "" with reason set.
// A message of the program's followed by the reason: "Tab file save error\n\nNo space left on device".
QString withReason(const QString &message, const Result &result);

QString createUnique(const QString &folder, const std::function<QString(int)> &nameFor, QString *reason);

// The files of folder that own() takes for the program's own, oldest first:
// by the time they were written (a name's date is not trusted: a clock once
// ahead, or a copied folder, would make an old file look new), then by
// tieKey(name) for files written within one tick.
QFileInfoList ownFilesOldestFirst(const QString &folder, const std::function<bool(const QFileInfo &)> &own,
                                  const std::function<QString(const QString &)> &tieKey);
// Removes the oldest of oldestFirst beyond the newest keep, never except
// (the file just written, whatever the clock said when it was).
void removeOldest(const QFileInfoList &oldestFirst, int keep, const QString &except);

} // namespace safefile
