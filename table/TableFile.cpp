#include "table/TableFile.h"

#include "link/MessageSink.h"
#include "table/Table_iat_ect_corr.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tbl {

namespace {
constexpr int kMaxRead = 600;
constexpr int kOlderLayoutSize = 512;
} // namespace

QString tabFileName(const QString &name)
{
    return name.endsWith(QLatin1String(".tab"), Qt::CaseSensitive) ? name : name + QLatin1String(".tab");
}

SafeWrite writeFileSafely(const QString &name, const QByteArray &bytes)
{
    const QFileInfo info(name);
    // Something that is not a file (a folder, say) stands where the table
    // should go and cannot be replaced.
    if (info.exists() && !info.isFile())
        return SafeWrite::CannotReplace;
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return SafeWrite::CannotWrite;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return SafeWrite::CannotWrite;
    }
    // The new file is complete; only putting it in place of the old one can fail now.
    if (!file.commit())
        return info.exists() ? SafeWrite::CannotReplace : SafeWrite::CannotWrite;
    return SafeWrite::Done;
}

bool saveTabFile(Table &table, const QString &name, int which)
{
    const QString fileName = tabFileName(name);
    table.readParameters(which);
    if (const SafeWrite written = writeFileSafely(fileName, table.imageBytes(which)); written != SafeWrite::Done) {
        showMessage(written == SafeWrite::CannotReplace ? QStringLiteral("Can't delete file before saving")
                                                        : QStringLiteral("Tab file save error"));
        return false;
    }
    table.setLastFileName(fileName);
    return true;
}

bool loadTabFile(Table &table, const QString &name, int which)
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
