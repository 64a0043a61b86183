#include "table/Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "table/SafeFile.h"

namespace backup {
namespace {
// Only files named exactly as this program names its backups are counted
// and removed: a user's "2024-05-01_10-00-00_my engine tune.tab" stays.
const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}(_\\d+)?_(fw[0-9A-Za-z._]+|unit)\\.tab$"));
    return pattern;
}

constexpr qint64 kImageBytes = 392;

// The name's own order: its date and time, then the number a later backup
// within the same second carries.
QString sequenceKey(const QString &name)
{
    const QRegularExpressionMatch m = namePattern().match(name);
    const int n = m.captured(1).isEmpty() ? 1 : m.captured(1).mid(1).toInt();
    return name.left(19) + QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0'));
}

// The program's own backups, oldest first. A backup is a whole table image:
// a file of another size is not one of ours.
QFileInfoList backups(const QDir &dir)
{
    return safefile::ownFilesOldestFirst(
        dir.path(),
        [](const QFileInfo &info) {
            return info.size() == kImageBytes && namePattern().match(info.fileName()).hasMatch();
        },
        sequenceKey);
}
} // namespace

QString unitTag(const QString &firmwareText)
{
    QString tag = firmwareText.trimmed();
    // A firmware text is digits and a point; keep a name safe whatever came.
    tag.replace(QRegularExpression(QStringLiteral("[^0-9A-Za-z.]")), QStringLiteral("_"));
    return tag.isEmpty() ? QStringLiteral("unit") : QStringLiteral("fw") + tag;
}

QString fileName(const QDateTime &when, const QString &firmwareText, int sequence)
{
    const QString second = sequence > 1 ? QStringLiteral("_%1_").arg(sequence) : QStringLiteral("_");
    return when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + second + unitTag(firmwareText) +
           QStringLiteral(".tab");
}

Result save(const QString &folder, const QByteArray &image, const QString &firmwareText, const QDateTime &when,
            int keep)
{
    Result result;
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        result.error = QStringLiteral("cannot create ") + folder;
        return result;
    }
    // The name is taken atomically: two programs backing up in the same
    // second (the window and a tarvix-cli share the folder) keep both.
    QString reason;
    result.path = safefile::createUnique(
        folder, [&](int n) { return fileName(when, firmwareText, n); }, &reason);
    if (result.path.isEmpty()) {
        result.error = QStringLiteral("cannot write in ") + folder + QStringLiteral(": ") + reason;
        return result;
    }
    const safefile::Result written = safefile::write(result.path, image);
    if (!written.ok()) {
        QFile::remove(result.path); // the name taken for it, still empty
        result.error = QStringLiteral("cannot write ") + result.path + QStringLiteral(": ") + written.reason;
        result.path.clear();
        return result;
    }
    result.ok = true;
    safefile::removeOldest(backups(dir), keep, result.path);
    return result;
}

QString newest(const QString &folder, const QString &firmwareText)
{
    const QString tag = unitTag(firmwareText);
    const QFileInfoList found = backups(QDir(folder));
    for (auto it = found.crbegin(); it != found.crend(); ++it)
        if (namePattern().match(it->fileName()).captured(2) == tag)
            return it->filePath();
    return QString();
}

QString newest(const QString &folder)
{
    const QFileInfoList found = backups(QDir(folder));
    return found.isEmpty() ? QString() : found.last().filePath();
}

QString firmwareNote(const QString &backupPath)
{
    if (backupPath.isEmpty())
        return QString();
    return QString::fromUtf8("The unit's table as it was before is kept in %1. An update may leave the unit "
                             "with an empty table: open that file and store it with \"Write to converter\".\n\n"
                             "Таблица устройства до обновления сохранена в %1. После обновления таблица может "
                             "быть пустой: откройте этот файл и запишите его в конвертер.")
        .arg(QDir::toNativeSeparators(backupPath));
}

QString windowFolder()
{
    return QDir::current().filePath(QStringLiteral("backups"));
}

} // namespace backup
