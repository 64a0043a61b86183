#pragma once
// Helpers shared by the window tests.
#include <QAction>
#include <QFile>
#include <QList>

#include "app/Unit1.h"
#include "ui/FileDialogs.h"
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

// Answers the window's file dialogs with a prepared name (empty: cancelled)
// and keeps what was asked.
struct FakeDialogs : FileDialogs {
    struct Asked {
        bool save;
        FileDialogRequest request;
    };
    QList<Asked> asked;
    QString answer;
    QString openFileName(QWidget *, const FileDialogRequest &r) override
    {
        asked.append({false, r});
        return answer;
    }
    QString saveFileName(QWidget *, const FileDialogRequest &r) override
    {
        asked.append({true, r});
        return answer;
    }
};
