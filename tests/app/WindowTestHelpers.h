#pragma once
// Helpers shared by the window tests.
#include <QAction>
#include <QFile>

#include "app/Unit1.h"
#include "link/TableTransfer.h"
#include "sim/Emulator.h"

// Each window of a test starts as on a first run: no unit seen yet, no
// program state left by the window of the test before.
inline void startAfresh()
{
    transfer::firmwareGeneration() = 0;
    QFile::remove(QStringLiteral("config.cfg"));
}

// Chooses the port and waits until the identification has run and the table has been read.
inline bool chooseAndIdentify(TForm1 &form, const QString &port, sim::Emulator &unit, int timeoutMs = 5000)
{
    form.choosePort(port);
    return unit.waitForEvent("read", timeoutMs) && form.ActionStart->isEnabled();
}
