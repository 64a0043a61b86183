#pragma once
// Helpers shared by the window tests.
#include <QAction>

#include "app/Unit1.h"
#include "sim/Emulator.h"

// Chooses the port and waits until the identification has run and the table has been read.
inline bool chooseAndIdentify(TForm1 &form, const QString &port, sim::Emulator &unit, int timeoutMs = 5000)
{
    form.choosePort(port);
    return unit.waitForEvent("read", timeoutMs) && form.ActionStart->isEnabled();
}
