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
// thread, while keyboard and mouse input waits until it is over.
void keepPainting();
