#pragma once
// Backups of each unit's table as it was found: the first image read after
// an identification goes, unchanged, into a folder of its own (backups/ in
// the working folder), named by date, time and unit, so that whatever is
// done to the unit afterwards, its table as it came can be loaded again.
#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace backup {

constexpr int kKeep = 200; // the newest are kept, the oldest removed

// "2026-12-10_15-30-12_fw2.3.tab"; a unit without a firmware text is "unit".
// A later backup within the same second carries its sequence number:
// "2026-12-10_15-30-12_2_fw2.3.tab".
QString fileName(const QDateTime &when, const QString &firmwareText, int sequence = 1);
// The unit part of a name: "fw2.3" or "unit".
QString unitTag(const QString &firmwareText);

struct Result {
    bool ok = false;
    QString path;  // the file written
    QString error; // why not, in words for the status line
};
// Saves image (the bytes as read) into folder (created when missing) with
// the safe save of table files, then removes the oldest backups beyond keep.
Result save(const QString &folder, const QByteArray &image, const QString &firmwareText,
            const QDateTime &when = QDateTime::currentDateTime(), int keep = kKeep);
// The newest backup in folder of the unit with this firmware text, or "".
QString newest(const QString &folder, const QString &firmwareText);
// The newest backup in folder of any unit, or "".
QString newest(const QString &folder);
// What a firmware update adds to its closing message: where the table from
// before the update is ("" when there is no backup), in both languages.
QString firmwareNote(const QString &backupPath);

// backups/ in the working folder (the window's current folder).
QString windowFolder();

} // namespace backup
