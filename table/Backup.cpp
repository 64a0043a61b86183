#include "table/Backup.h"

#include <algorithm>

#include <QDir>
#include <QRegularExpression>

#include "table/TableFile.h"

namespace backup {
namespace {
// Only files named as backups are counted and removed: anything else the
// user keeps in the folder stays.
const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}(_\\d+)?_(.+)\\.tab$"));
    return pattern;
}

// Backup names in time order, oldest first: by the time the name begins
// with, then by the number a second backup within that second carries.
QStringList backups(const QDir &dir)
{
    QList<QPair<QString, QString>> keyed;
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = namePattern().match(name);
        if (m.hasMatch()) {
            const int n = m.captured(1).isEmpty() ? 1 : m.captured(1).mid(1).toInt();
            keyed.append({name.left(19) + QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')), name});
        }
    }
    std::sort(keyed.begin(), keyed.end());
    QStringList names;
    for (const auto &k : keyed)
        names << k.second;
    return names;
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
    // Two backups within one second (a quick Reconnect) keep both.
    QString name = fileName(when, firmwareText);
    for (int n = 2; dir.exists(name); ++n)
        name = fileName(when, firmwareText, n);
    result.path = dir.filePath(name);
    if (tbl::writeFileSafely(result.path, image) != tbl::SafeWrite::Done) {
        result.error = QStringLiteral("cannot write ") + result.path;
        return result;
    }
    result.ok = true;
    QStringList names = backups(dir);
    while (names.size() > keep)
        dir.remove(names.takeFirst());
    return result;
}

QString newest(const QString &folder, const QString &firmwareText)
{
    const QDir dir(folder);
    const QString tag = unitTag(firmwareText);
    const QStringList names = backups(dir);
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        if (namePattern().match(*it).captured(2) == tag)
            return dir.filePath(*it);
    return QString();
}

QString newest(const QString &folder)
{
    const QDir dir(folder);
    const QStringList names = backups(dir);
    return names.isEmpty() ? QString() : dir.filePath(names.last());
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
