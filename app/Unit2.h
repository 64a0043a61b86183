#pragma once
// The progress window shown during the full write to the unit.
#include <QDialog>

#include "link/TableTransfer.h"

class QProgressBar;

class TForm2 : public QDialog, public TransferProgress {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
    QProgressBar *ProgressBar = nullptr;

    void setCaption(const QString &caption) override;
    void setRange(int minimum, int maximum) override;
    void setPosition(int position) override;
    int position() const override;
    void showProgress() override;
    void hideProgress() override;
    bool progressVisible() const override { return isVisible(); }
};

// Lets the window repaint during a long exchange on the user-interface
// thread. Keyboard and mouse input meant for a window held by a
// LongExchange is dropped; elsewhere it waits until the exchange is over.
void keepPainting();

// While a long exchange with the unit runs (a read, the full write, an
// identification, a firmware update), the window keeps painting but takes
// no input that could edit or send: a click or key given meanwhile is
// dropped, not run after the exchange on a table it no longer applies to.
// Dialogs (a message the exchange shows) still take input. The status line
// says what runs until the exchange ends.
class LongExchange : public QObject {
public:
    LongExchange(QWidget *window, const QString &doing);
    ~LongExchange() override;
    LongExchange(const LongExchange &) = delete;
    LongExchange &operator=(const LongExchange &) = delete;
    static bool active();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window_;
    QString doing_;
};
