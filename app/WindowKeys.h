#pragma once
// The window's keys: which key, with which modifiers, on which page, runs
// which command. A key event acts once, at the control that has the focus
// (or the window when none has it), and is consumed when it acts. Controls
// that take text keep their letters, digits and editing keys; an arrow key
// is one edit of the table from its press to its release, its auto-repeats
// inside it, and a release acts only when the window took the press.
//
// A held key is one gesture on every platform: it ends only once the key has
// stayed up for kReleaseGapMs. A release followed that soon by a press of the
// same key is the keyboard's auto-repeat, whatever its repeat flag says (X11
// fails to mark some repeats on a busy machine): an arrow goes on editing,
// and S, A, F8, F9, the digits, Delete, O, Ctrl+Z and Enter act once per hold.
#include <functional>
#include <map>
#include <memory>

#include <QElapsedTimer>
#include <QObject>

class QTimer;

class QKeyEvent;
class QWidget;
class Table;

struct WindowKeyCommands {
    std::function<bool()> onDashboard;       // the dashboard page is active
    std::function<void(int key)> arrowPressed;
    std::function<void(bool vertical)> arrowReleased;
    std::function<void()> clearWindow;        // Delete, O: as the "O" button
    std::function<void(int n)> showPage;      // 1..9: the N-th visible page
    std::function<bool()> autocorrectionOffered;
    std::function<void()> toggleAutocorrection; // A
    std::function<void()> startOrStop;        // S
    std::function<void()> openTable;          // Ctrl+O
    std::function<void()> saveTable;          // Ctrl+S
    std::function<void()> undo;               // Ctrl+Z
    std::function<void()> redo;               // Ctrl+Shift+Z
    std::function<void()> toggleManualBorders; // F8 on the dashboard
    std::function<void()> toggleDescending;   // F9 on the dashboard
};

class WindowKeys : public QObject {
    Q_OBJECT
public:
    // Watches the application's key events for window.
    WindowKeys(QWidget *window, Table &table, WindowKeyCommands commands);
    ~WindowKeys() override;

    // How long a key must stay up before its gesture ends.
    static constexpr int kReleaseGapMs = 120;

    // Ends an arrow key's edit whose release will not come (the window lost the keyboard).
    void endArrowEdit();
    // A key is down, or up for less than the gap (its gesture goes on).
    bool holding() const { return !held_.empty(); }
    bool holding(int key) const { return held_.count(key) > 0; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A key whose press the window saw, until its gesture ends.
    struct Held {
        bool arrow = false;
        qint64 releasedAt = -1;            // when it came up (event time), -1 while down
        std::unique_ptr<QTimer> gapTimer; // ends the gesture once the gap has passed
    };
    bool keyPressed(QWidget *receiver, QKeyEvent *key, bool repeat);
    bool keyReleased(QKeyEvent *key);
    // The press continues a hold: flagged as a repeat, or the key came up
    // less than the gap before. Records the key as down.
    bool continuesHold(QKeyEvent *key, bool arrow);
    void endGesture(int key);
    void endAllGestures();
    qint64 eventTime(const QKeyEvent *key) const;

    QWidget *window_;
    Table &table_;
    WindowKeyCommands c_;
    int arrowKey_ = 0; // the arrow whose press opened the edit
    std::map<int, Held> held_;
    QElapsedTimer clock_; // for events without a time of their own
};
