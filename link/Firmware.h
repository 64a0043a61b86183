#pragma once
// Firmware update: the file's hexadecimal pairs are the boot loader's blocks,
// sent one by one, each acknowledged by the unit.
#include <functional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "link/Protocol.h"

class TRXTX;

namespace firmware {

constexpr int kBufferSize = 262144;
// No text of at most kBufferSize hexadecimal pairs is longer than this, even
// with generous separators; a longer file is refused before it is read.
constexpr qint64 kMaxFileSize = 16 * qint64(kBufferSize);

// Reads hexadecimal byte pairs: each byte skips white space and takes two
// hex digits, so separators are optional. Stops at the first other character,
// at a digit without its pair (a file cut in the middle of a byte)
// or at the end. Sets tooLarge (and stops) when the bytes would not fit the buffer.
// stoppedAt: where reading stopped (the text's size when it was read to its
// end, trailing white space included).
QByteArray parseHexPairs(const QByteArray &text, bool *tooLarge = nullptr, int *stoppedAt = nullptr);

enum class Outcome { Success, NotConnected, FileNotFound, TooLarge, Damaged, NoAnswer, Rejected, PortError };

// Reads and checks a firmware file without sending anything; shows why a
// file is refused (missing, too large, damaged). firmware and blocks: what
// would be sent.
Outcome readFile(const QString &fileName, QByteArray *firmware = nullptr,
                 std::vector<proto::FirmwareBlock> *blocks = nullptr);

// Runs the whole update and shows its messages. progress(percent) follows the
// bytes acknowledged; it reaches 100 only on success. closingNote ends the
// closing message of a success (where the unit's table was backed up).
Outcome update(TRXTX &channel, const QString &fileName, bool recovery, const std::function<void(int)> &progress = {},
               const QString &closingNote = QString());

} // namespace firmware
