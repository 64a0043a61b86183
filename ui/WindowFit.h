#pragma once
// A main window that fits its screen: the pages sit in a scroll area, the
// window's minimum follows the pages (up to what the screen holds) whenever
// their layout changes, and captions keep the room they need in either
// language.
#include <QScrollArea>

class QMainWindow;

class PagesScroll : public QScrollArea {
public:
    // Takes pages as its widget and becomes window's central widget.
    PagesScroll(QWidget *pages, QMainWindow *window);
    // The window's minimum: the pages' minimum and the bars, bounded by available.
    void keepWindowMinimum(const QRect &available);
    // Shrinks and moves the window into available (the pages scroll when it is smaller).
    void fitWindowInto(const QRect &available);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMainWindow *window_;
    bool pending_ = false;
};

// A control given a minimum width at design may be squeezed below its
// caption, which the other language makes longer: its minimum becomes at
// least what the caption needs. Group titles are drawn bold, wider than the
// box reckons with. Fixed-size value labels are left as they are.
void fitCaptions(QWidget *root);
