#pragma once
// What the system knows of each serial port (a USB adapter's maker and
// product, Bluetooth, built in) and why a port will not open, in words a
// user can act on: no permission (with the group that owns the port and the
// one-line fix), held by another program (and which, where the system
// tells), gone.
#include <string>

#include <QList>
#include <QString>

namespace ports {

struct Port {
    QString path;        // "/dev/ttyUSB0"; "COM5" on Windows
    QString description; // "FTDI FT232R USB UART (0403:6001)", "Bluetooth", "built-in serial port", ""
};
// The system's serial ports with their descriptions, sorted by path.
// sysRoot: where the kernel's device tree is (tests point it elsewhere).
QList<Port> list(const QString &sysRoot = QStringLiteral("/sys"));
// The description of one port from the kernel's device tree.
QString describe(const QString &path, const QString &sysRoot = QStringLiteral("/sys"));
// How the chooser shows a port: the path, then the description in brackets.
QString choiceText(const Port &port);

enum class Problem { None, Gone, NoPermission, Busy, NotSerial, Other };
struct Check {
    Problem problem = Problem::None;
    QString path;
    QString group;  // NoPermission: the group owning the port
    QString holder; // Busy: "minicom (pid 1234)", "" when the system does not tell
    int error = 0;  // Other: the system's error number
};
// Why the port at path cannot be used, without opening it.
Check check(const QString &path);
// Why opening path failed with errno err; ownFd: the descriptor this program
// holds on the port itself (not counted as another holder), -1 for none.
Check explain(const QString &path, int err, int ownFd = -1);
// Programs holding path open: "name (pid N)"; ownFd of this process excluded.
QStringList holders(const QString &path, int ownFd = -1);
#ifdef _WIN32
// The name of the mutex a program of ours holds while it has path open.
// Windows keeps a COM port to one program, but Wine does not: the mutex
// keeps two of ours (the window and tarvix-cli) off one port there too.
std::wstring portLockName(const QString &path);
#endif
// The system's words for an error number (errno; GetLastError() on Windows).
QString systemErrorText(int code);
// The reason in one language ("" for None).
QString reasonText(const Check &check, bool english);
// Both languages, English first.
QString reasonTextBoth(const Check &check);

} // namespace ports
