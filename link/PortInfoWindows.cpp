#include "link/PortInfo.h"

#include <algorithm>

#include <QRegularExpression>

#include <windows.h>

// Windows lists its serial ports under HARDWARE\DEVICEMAP\SERIALCOMM: each
// value's data is the port's name ("COM5"), its name the driver's device
// ("\Device\VCP0" for an FTDI adapter), which tells what kind of port it is.

namespace ports {
namespace {
// "COM2" before "COM10".
bool portBefore(const QString &a, const QString &b)
{
    static const QRegularExpression number(QStringLiteral("(\\d+)$"));
    const auto ma = number.match(a), mb = number.match(b);
    const QString stemA = a.left(a.size() - ma.capturedLength()), stemB = b.left(b.size() - mb.capturedLength());
    if (stemA != stemB)
        return stemA < stemB;
    return ma.captured(1).toInt() < mb.captured(1).toInt();
}

QString kindOfDevice(const QString &device)
{
    const QString d = device.toLower();
    if (d.contains(QLatin1String("bth")))
        return QStringLiteral("Bluetooth");
    for (const char *usb : {"vcp", "usbser", "prolific", "silabser", "ch341", "ch9102", "ftdi", "usb"})
        if (d.contains(QLatin1String(usb)))
            return QStringLiteral("USB adapter");
    if (d.startsWith(QLatin1String("\\device\\serial")))
        return QStringLiteral("built-in serial port");
    return QString();
}

// Name -> driver device of every port the registry lists.
QList<QPair<QString, QString>> registryPorts()
{
    QList<QPair<QString, QString>> out;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return out;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[256] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t); // room for the end a value may lack
        DWORD type = 0;
        const LONG r = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                       reinterpret_cast<BYTE *>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const QString port = QString::fromWCharArray(data, int(dataBytes / sizeof(wchar_t))).section(QChar(0), 0, 0);
        if (!port.isEmpty())
            out.append({port.trimmed(), QString::fromWCharArray(name, int(nameLength))});
    }
    ::RegCloseKey(key);
    return out;
}
} // namespace

std::wstring portLockName(const QString &path)
{
    QString name = path.toUpper();
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    return (QStringLiteral("Local\\tarvix-port-") + name).toStdWString();
}

QString systemErrorText(int code)
{
    wchar_t *text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, DWORD(code), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString out = n ? QString::fromWCharArray(text, int(n)).trimmed() : QStringLiteral("error %1").arg(code);
    if (text)
        ::LocalFree(text);
    return out;
}

QString describe(const QString &path, const QString &)
{
    for (const auto &port : registryPorts())
        if (port.first.compare(path, Qt::CaseInsensitive) == 0)
            return kindOfDevice(port.second);
    return QString();
}

QList<Port> list(const QString &)
{
    QList<Port> out;
    for (const auto &port : registryPorts())
        out.append({port.first, kindOfDevice(port.second)});
    std::sort(out.begin(), out.end(), [](const Port &a, const Port &b) { return portBefore(a.path, b.path); });
    return out;
}

QStringList holders(const QString &, int)
{
    return {}; // Windows does not tell which program holds a COM port
}

Check explain(const QString &path, int err, int)
{
    Check c;
    c.path = path;
    c.error = err;
    switch (err) {
    case 0:
        return c;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
        c.problem = Problem::Gone;
        break;
    // A COM port opened by another program refuses everyone else with
    // "access denied": on Windows that is the usual meaning.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        c.problem = Problem::Busy;
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_NAME:
    case ERROR_NOT_SUPPORTED:
        c.problem = Problem::NotSerial;
        break;
    default:
        c.problem = Problem::Other;
    }
    return c;
}

Check check(const QString &path)
{
    // Windows tells only by trying: open for a moment and let go at once.
    const std::wstring device = path.startsWith(QLatin1String("\\\\.\\")) ? path.toStdWString()
                                                                           : (QStringLiteral("\\\\.\\") + path).toStdWString();
    if (HANDLE held = ::OpenMutexW(SYNCHRONIZE, FALSE, portLockName(path).c_str())) {
        ::CloseHandle(held);
        return explain(path, ERROR_SHARING_VIOLATION);
    }
    HANDLE h = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return explain(path, int(::GetLastError()));
    ::CloseHandle(h);
    Check c;
    c.path = path;
    return c;
}

} // namespace ports
