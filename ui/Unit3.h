#pragma once
// TCalibrationOverlayForm: the countdown shown over the main window while the
// sensor calibrates itself. Borderless, always on top, transparent but for
// its circle and number; modal while it counts.
#include <QDialog>

class QLabel;
class QTimer;

class TCalibrationOverlayForm : public QDialog {
    Q_OBJECT
public:
    explicit TCalibrationOverlayForm(QWidget *owner = nullptr);

    // Shows seconds, counts one down per tick and closes at 0; returns then.
    // tickMs is the tick's period (1000 ms; tests shorten it).
    void countDown(int seconds, int tickMs = 1000);
    int counter() const { return counter_; }

    QLabel *ImageCircle;
    QLabel *LabelTimer;
    QTimer *Timer1;

private:
    void tick();
    int counter_ = 0;
};
