#pragma once
// The progress window shown during long transfers to the unit.
#include <QDialog>

class QProgressBar;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
    QProgressBar *ProgressBar = nullptr;
};
