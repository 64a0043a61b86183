#pragma once
// The window's keys: which key, with which modifiers, on which page, runs
// which command. A key event acts once, at the control that has the focus
// (or the window when none has it), and is consumed when it acts. Controls
// that take text keep their letters, digits and editing keys; an arrow key
// is one edit of the table from its press to its release, its auto-repeats
// inside it, and a release acts only when the window took the press.
#include <functional>

#include <QObject>

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

    // Ends an arrow key's edit whose release will not come (the window lost the keyboard).
    void endArrowEdit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(QWidget *receiver, QKeyEvent *key);
    bool keyReleased(QKeyEvent *key);

    QWidget *window_;
    Table &table_;
    WindowKeyCommands c_;
    int arrowKey_ = 0; // the arrow whose press opened the edit
};
