#pragma once
// A main window that fits its screen: the body of each page scrolls on its
// own while the port bar, the page tabs and the status line stay in view;
// the window's minimum follows the pages (up to what the screen holds)
// whenever their layout changes, and captions keep the room they need in
// either language.
#include <QObject>
#include <QVector>

class QMainWindow;
class QRect;
class QScrollArea;
class QTabWidget;
class QWidget;

class PageScrolls : public QObject {
public:
    // central: the window's central widget, which holds pages and the bars.
    PageScrolls(QTabWidget *pages, QWidget *central, QMainWindow *window);
    // Puts the body of each page built so far in a scroll area of its own
    // ("<page>Scroll"), inside the page: the page stays the tab's widget.
    void wrapPages();
    // The window's minimum: the largest page body and the bars, bounded by available.
    void keepWindowMinimum(const QRect &available);
    // Shrinks and moves the window into available (the page bodies scroll when it is smaller).
    void fitWindowInto(const QRect &available);
    // The scroll area of a page's body (nullptr before wrapPages()).
    QScrollArea *scrollOf(QWidget *page) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTabWidget *pages_;
    QWidget *central_;
    QMainWindow *window_;
    QVector<QScrollArea *> scrolls_;
    bool pending_ = false;
};

// A control given a minimum width at design may be squeezed below its
// caption, which the other language makes longer: its minimum becomes at
// least what the caption needs. Group titles are drawn bold, wider than the
// box reckons with. Fixed-size value labels are left as they are.
void fitCaptions(QWidget *root);
