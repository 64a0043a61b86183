#include "table/TableFile.h"

#include "link/MessageSink.h"
#include "table/SafeFile.h"
#include "table/Table_iat_ect_corr.h"

#include <QFile>
#include <QFileInfo>

namespace tbl {

namespace {
constexpr int kMaxRead = 600;
constexpr int kOlderLayoutSize = 512;
} // namespace

QString tabFileName(const QString &name)
{
    return name.endsWith(QLatin1String(".tab"), Qt::CaseSensitive) ? name : name + QLatin1String(".tab");
}

bool saveTabFile(Table &table, const QString &name, int which)
{
    const QString fileName = tabFileName(name);
    table.readParameters(which);
    if (const safefile::Result written = safefile::write(fileName, table.imageBytes(which)); !written.ok()) {
        showMessage(safefile::withReason(written.status == safefile::Result::CannotReplace
                                             ? QStringLiteral("Can't delete file before saving")
                                             : QStringLiteral("Tab file save error"),
                                         written));
        return false;
    }
    table.setLastFileName(fileName);
    return true;
}

bool isTableFileSize(qint64 size)
{
    return size == kImageSize || size == kPoints || size == kOlderLayoutSize;
}

QString unusualSizeText(const QString &name, qint64 size, bool english)
{
    if (isTableFileSize(size))
        return QString();
    if (size < kImageSize)
        return english ? QStringLiteral("%1 holds %2 bytes: not a full table; the rest is set to 0").arg(name).arg(size)
                       : QString::fromUtf8("%1 содержит %2 байт: это не полная таблица; остальное обнулено")
                             .arg(name)
                             .arg(size);
    return english ? QStringLiteral("%1 holds %2 bytes: not a table of this unit; its first 392 bytes were taken")
                         .arg(name)
                         .arg(size)
                   : QString::fromUtf8("%1 содержит %2 байт: это не таблица этого устройства; взяты первые 392 байта")
                         .arg(name)
                         .arg(size);
}

bool loadTabFile(Table &table, const QString &name, int which, qint64 *size)
{
    QFile file(name);
    // Only a regular file is read: a folder, a pipe or a device is refused
    // like a file that cannot be opened (a pipe would block the window).
    if (!QFileInfo(name).isFile() || !file.open(QIODevice::ReadOnly)) {
        showMessage(name + QStringLiteral("Tab file load error"));
        return false;
    }
    char buf[kMaxRead] = {};
    qint64 n = 0;
    while (n < kMaxRead) {
        const qint64 r = file.read(buf + n, kMaxRead - n);
        if (r < 0) {
            showMessage(name + QStringLiteral("Tab file load error"));
            return false;
        }
        if (r == 0)
            break;
        n += r;
    }
    if (size)
        *size = file.size() > n ? file.size() : n;
    file.close();

    TImage &img = table.image(which);
    for (int i = 0; i < kImageSize; ++i)
        img[static_cast<size_t>(i)] = static_cast<uint8_t>(buf[i]);
    if (n < kImageSize || n == kOlderLayoutSize)
        for (int i = kIatBase; i < kImageSize; ++i)
            img[static_cast<size_t>(i)] = 0;
    if (n < kParamBase + 1)
        table.setDefaultParameters(which);
    table.rebuildLearned();
    table.imageReplaced(which == 2 ? 2 : 1);
    table.takeSnapshot();
    return true;
}

} // namespace tbl
