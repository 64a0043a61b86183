#include "app/Saveloadprogramstate.h"

#include <QFile>
#include <QFileInfo>

#include "link/MessageSink.h"
#include "table/SafeFile.h"

QByteArray TProgramState::encode() const
{
    QByteArray b(kSize, '\0');
    b[0] = char(language & 0xFF);
    b[1] = char(o2ShowVafr & 0xFF);
    b[2] = char(descending & 0xFF);
    b[3] = char(tpsShowRaw & 0xFF);
    for (int k = 0; k < kWords; ++k) {
        const int v = words[size_t(k)];
        b[4 + 2 * k] = char((v >> 8) & 0xFF);
        b[5 + 2 * k] = char(v & 0xFF);
    }
    return b;
}

int TProgramState::fieldsIn(int n)
{
    if (n <= 4)
        return n < 0 ? 0 : n;
    return 4 + (n - 4) / 2 > 4 + kWords ? 4 + kWords : 4 + (n - 4) / 2;
}

int TProgramState::decode(const QByteArray &bytes)
{
    const int fields = fieldsIn(int(bytes.size()));
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes.constData());
    if (fields > 0)
        language = int(std::int8_t(p[0])); // 255 is -1: no language selected
    if (fields > 1)
        o2ShowVafr = p[1];
    if (fields > 2)
        descending = p[2];
    if (fields > 3)
        tpsShowRaw = p[3];
    for (int k = 0; k < fields - 4; ++k)
        words[size_t(k)] = p[4 + 2 * k] << 8 | p[5 + 2 * k];
    return fields;
}

namespace programstate {

bool save(const TProgramState &state, const QString &fileName)
{
    // In place where no file can be made beside it (a folder without write
    // permission but a writable config.cfg).
    const safefile::Result written = safefile::write(fileName, state.encode(), true);
    if (!written.ok()) {
        showMessage(safefile::withReason(QStringLiteral("Config file save error"), written));
        return false;
    }
    return true;
}

int load(TProgramState &state, const QString &fileName, bool quietWhenMissing, qint64 *size)
{
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (!(quietWhenMissing && !QFileInfo::exists(fileName)))
            showMessage(fileName + QStringLiteral(" Config file load error"));
        return -1;
    }
    if (size)
        *size = file.size();
    return state.decode(file.read(TProgramState::kSize));
}

} // namespace programstate
