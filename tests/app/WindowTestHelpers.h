#pragma once
// Helpers shared by the window tests.
#include <QAction>
#include <QApplication>
#include <QtTest>
#include <QFile>
#include <QList>

#include "app/Unit1.h"
#include "app/WindowKeys.h"
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

// Lets what was just shown or rewritten lay itself out. A layout pass can
// post the next one (a page, its scroll area, the window's minimum), so this
// runs a number of rounds of posted events, not a span of time that a loaded
// machine may use up in one round.
inline void settleLayouts()
{
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Shows the window of control and gives control the keyboard focus, as a
// click would; returns the widget that real key events then reach.
inline QWidget *focusOn(QWidget *control)
{
    QWidget *window = control->window();
    if (!window->isVisible()) {
        window->show();
        (void)QTest::qWaitForWindowExposed(window); // callers check the focus returned
    }
    QApplication::setActiveWindow(window);
    window->activateWindow();
    (void)QTest::qWaitForWindowActive(window);
    control->setFocus(Qt::MouseFocusReason);
    (void)QTest::qWaitFor([control] {
        QWidget *focus = QApplication::focusWidget();
        return focus && (focus == control || control->isAncestorOf(focus) || focus == control->focusProxy());
    });
    return QApplication::focusWidget();
}

// Waits until every window's held keys have come up for good: a key's
// gesture ends only once it has stayed up for a moment, so a second press
// before that would continue the first.
// key 0: every key.
inline bool waitForKeysUp(int key = 0, int timeoutMs = 5000)
{
    return QTest::qWaitFor(
        [key] {
            for (QWidget *w : QApplication::topLevelWidgets())
                for (WindowKeys *keys : w->findChildren<WindowKeys *>())
                    if (key ? keys->holding(key) : keys->holding())
                        return false;
            return true;
        },
        timeoutMs);
}

// A key as the keyboard sends it: to the control that has the focus.
inline void pressKey(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyPress(QApplication::focusWidget(), Qt::Key(key), mods);
}
// The release, and the end of the key's gesture.
inline void releaseKey(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key(key), mods);
    QVERIFY(waitForKeysUp(key));
}
inline void clickKey(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), mods);
    QVERIFY(waitForKeysUp(key));
}

// A key held down with its repeats marked, as X delivers them when its
// repeat detection works: release and press pairs flagged as repeats.
inline void holdKeyWithRepeatFlag(int key, int pairs, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget *focus = QApplication::focusWidget();
    QTest::keyPress(focus, Qt::Key(key), mods);
    const QString text = key >= Qt::Key_A && key <= Qt::Key_Z ? QString(QChar(key)).toLower() : QString();
    for (int i = 0; i < pairs; ++i) {
        QKeyEvent release(QEvent::KeyRelease, key, mods, text, true);
        QKeyEvent press(QEvent::KeyPress, key, mods, text, true);
        QApplication::sendEvent(focus, &release);
        QApplication::sendEvent(focus, &press);
    }
    QTest::keyRelease(focus, Qt::Key(key), mods);
}

// A key held down as X delivers it when its repeat detection fails: press
// and release pairs gapMs apart without the repeat flag, then the last release.
inline void holdKeyWithoutRepeatFlag(int key, int pairs, Qt::KeyboardModifiers mods = Qt::NoModifier, int gapMs = 35)
{
    QTest::keyPress(QApplication::focusWidget(), Qt::Key(key), mods);
    for (int i = 0; i < pairs; ++i) {
        QTest::qWait(gapMs); // the key's repeat rate
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key(key), mods);
        QTest::keyPress(QApplication::focusWidget(), Qt::Key(key), mods);
    }
    QTest::qWait(gapMs);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key(key), mods);
}
