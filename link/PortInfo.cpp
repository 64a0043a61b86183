#include "link/PortInfo.h"

// The words for a port and for why it cannot be used, the same on every system.

namespace ports {

QString choiceText(const Port &port)
{
    return port.description.isEmpty() ? port.path : port.path + QStringLiteral("  (") + port.description + QLatin1Char(')');
}

QString reasonText(const Check &c, bool english)
{
    switch (c.problem) {
    case Problem::None:
        return QString();
    case Problem::Gone:
        return english ? QStringLiteral("%1 is gone: the adapter is unplugged or the name is wrong. "
                                        "Plug it in and choose the port again.")
                             .arg(c.path)
                       : QString::fromUtf8("%1 отсутствует: адаптер отключён или имя неверно. "
                                           "Подключите его и выберите порт снова.")
                             .arg(c.path);
    case Problem::NoPermission: {
        // Joining the group root is no fix: a port only root may open is
        // usually given to dialout by a udev rule.
        if (c.group == QLatin1String("root"))
            return english ? QStringLiteral("No permission to use %1: only root may open it. Serial ports are usually "
                                            "given to the group \"dialout\" by a udev rule; with such a rule: sudo "
                                            "usermod -aG dialout $USER, then log out and in again.")
                                 .arg(c.path)
                           : QString::fromUtf8("Нет прав на %1: открыть его может только root. Обычно правило udev "
                                               "отдаёт последовательные порты группе «dialout»; с таким правилом: "
                                               "sudo usermod -aG dialout $USER, затем выйти из системы и войти снова.")
                                 .arg(c.path);
        const QString group = c.group.isEmpty() ? QStringLiteral("dialout") : c.group;
        return english ? QStringLiteral("No permission to use %1: it belongs to the group \"%2\". Fix: "
                                        "sudo usermod -aG %2 $USER, then log out and in again.")
                             .arg(c.path, group)
                       : QString::fromUtf8("Нет прав на %1: порт принадлежит группе «%2». Исправить: "
                                           "sudo usermod -aG %2 $USER, затем выйти из системы и войти снова.")
                             .arg(c.path, group);
    }
    case Problem::Busy:
        if (c.holder.isEmpty())
            return english ? QStringLiteral("%1 is held by another program. Close it and press Reconnect.").arg(c.path)
                           : QString::fromUtf8("%1 занят другой программой. Закройте её и нажмите "
                                               "«Переподключить».")
                                 .arg(c.path);
        return english ? QStringLiteral("%1 is held by another program: %2. Close it and press Reconnect.")
                             .arg(c.path, c.holder)
                       : QString::fromUtf8("%1 занят другой программой: %2. Закройте её и нажмите "
                                           "«Переподключить».")
                             .arg(c.path, c.holder);
    case Problem::NotSerial:
        return english ? QStringLiteral("%1 is not a serial port.").arg(c.path)
                       : QString::fromUtf8("%1 не является последовательным портом.").arg(c.path);
    case Problem::Other:
        return QStringLiteral("%1: %2").arg(c.path, systemErrorText(c.error));
    }
    return QString();
}

QString reasonTextBoth(const Check &c)
{
    const QString en = reasonText(c, true), ru = reasonText(c, false);
    return en == ru ? en : en + QLatin1Char('\n') + ru;
}

} // namespace ports
